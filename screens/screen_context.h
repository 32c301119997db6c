#pragma once
// What every screen of the program works with: the main skin, the language, the screen stack, the
// document, and the window it lives in. The start-up owns all of them and outlives the screens.
#include <string_view>

class DocumentFace;
class Language;
class Properties;
class ScreenManager;

// The window operations the screens ask for, kept behind an interface so that the screens can be
// driven on the null display in tests.
class ScreenHost {
public:
    virtual ~ScreenHost() = default;
    virtual void minimise() = 0;
    virtual void bring_to_front() = 0;
    // Ends the program (the document has stopped already).
    virtual void quit() = 0;
    // A message box for the moments when no skinned screen can show one (no skin loaded).
    virtual void show_message(std::u16string_view text) = 0;
};

struct ScreenContext {
    Properties& skin;
    Language& language;
    ScreenManager& stack;
    DocumentFace& document;
    ScreenHost& host;
};

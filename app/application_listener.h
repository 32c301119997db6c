#pragma once
// How the window host reports to the program. The application holds one listener, set by the
// Starter for the whole run; the defaults are what a program without opinions does.
#include <string>

struct KeyEvent;

class ApplicationListener {
public:
    // A command line arrived from another instance. Default: bring the main window to the front.
    virtual void on_command(const std::u16string& text);
    // May the main window close now?
    virtual bool can_close() { return true; }
    virtual void reserved_2() {}
    virtual void reserved_3() {}
    virtual void on_resolution_changed() {}
    virtual void on_help() {}
    virtual void on_deactivate() {}
    virtual void on_activate() {}
    // True when the key was consumed.
    virtual bool on_key(const KeyEvent& key);
    virtual ~ApplicationListener() = default;
};

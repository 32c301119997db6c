#pragma once
// A language change chosen from a menu cannot rebuild the screens at once: the menu row that was
// tapped is still handling its tap. This overlay, pushed instead, reloads the skin when it is first
// drawn (every screen looks its texts up in the new language) and leaves the stack at once.
#include "skin/screen.h"

class Properties;
class Language;
class ScreenManager;

class ReloadOverlay final : public Screen {
public:
    ReloadOverlay(Properties& skin, const Language& language, ScreenManager& stack);
    ~ReloadOverlay() override;

    void show();
    bool has_reloaded() const { return m_reloaded; }

    void draw(RenderSurface& surface, Point origin) override;

private:
    Properties& m_skin;
    const Language& m_language;
    ScreenManager& m_stack;
    bool m_reloaded = false;
};

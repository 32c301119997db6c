#pragma once
// The screens' view of the program's window: GameBase's operations behind the ScreenHost
// interface, so the screens never see SDL.
#include "app/game_base.h"
#include "screens/screen_context.h"

class WindowScreenHost final : public ScreenHost {
public:
    explicit WindowScreenHost(GameBase& base) : m_base(base) {}
    void minimise() override { m_base.minimise(); }
    void bring_to_front() override { m_base.bring_to_front(); }
    void quit() override { m_base.quit(); }
    void show_message(std::u16string_view text) override { m_base.show_message(text); }

private:
    GameBase& m_base;
};

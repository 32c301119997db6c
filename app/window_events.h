#pragma once
// The window procedure: SDL's events for the window, turned into the window host's keys, pointer
// events, activation, closing and screen changes.
#include "app/sdl_event_loop.h"

class GameBase;

class WindowEvents final : public SdlEventLoop::Client {
public:
    WindowEvents(GameBase& host, uint32_t window_id) : m_host(host), m_window_id(window_id) {}
    void on_platform_event(const PlatformEvent& event) override;

private:
    void on_window_event(const PlatformEvent& event);

    GameBase& m_host;
    uint32_t m_window_id;
};

#include "app/starter.h"

#include <exception>
#include <utility>

#include "app/application.h"
#include "app/call_notification.h"
#include "app/media_session.h"
#include "app/single_screen.h"
#include "app/window_screen_host.h"
#include "document/document.h"
#include "os/file_system.h"
#include "os/log.h"
#include "os/path.h"
#include "os/registry.h"
#include "os/text.h"
#include "os/tick.h"
#include "screens/quick_record_screen.h"
#include "skin/language_binding.h"
#include "skin/screen_manager.h"
#include "skin/skin_exceptions.h"

namespace {
// Shows where the splash form does not draw, and while it is missing.
constexpr Color splash_background{0, 0, 0, 255};
}  // namespace

Starter::Starter(Application& application, std::u16string command_line)
    : m_application(application), m_splash_timer(*this) {
    os::log() << u"Starter:" << os::tick_count() << u"\n";
    GameBase& host = m_application.game_base();
    if (Document* document = Document::instance()) {
        // A call the program was started for ends it when the window is not in use.
        document->set_window_hooks([&host] { return host.is_active(); }, [&host] { host.quit(); });
    }
    handle_command_line(command_line);
    if (command_line == u"call") {
        // The call is recorded in the background.
        host.minimise();
        if (Document* document = Document::instance()) document->set_started_for_call(true);
    }
    show_splash();
    m_application.set_listener(this);
    m_splash_timer.after(splash_seconds);
}

Starter::~Starter() {
    GameBase& host = m_application.game_base();
    host.set_frame_source(nullptr);
    host.set_input_sink(nullptr);
    if (CallNotification* notification = CallNotification::instance()) {
        notification->set_open_hook(nullptr);
        notification->set_translate(nullptr);
    }
    if (MediaSession* session = MediaSession::instance()) session->set_play_hook(nullptr);
    // The screens leave the stack before it goes, and stop hearing the language before it goes.
    m_quick_record.reset();
    m_main_screen.reset();
    m_stack.reset();
    m_language_binding.reset();
    if (m_application.listener() == this) m_application.set_listener(nullptr);
    if (Document* document = Document::instance()) document->set_window_hooks(nullptr, nullptr);
}

void Starter::bind_splash() {
    auto form = std::make_unique<Widget>();
    try {
        if (form->bind(m_splash_properties, u"FormSplash")) {
            auto splash = std::make_unique<SingleScreen>(std::move(form), splash_background);
            m_application.game_base().set_frame_source(splash.get());
            m_splash = std::move(splash);
        } else {
            os::log() << u"Starter: no FormSplash in the splash skin\n";
        }
    } catch (const std::exception& error) {
        // A damaged splash costs the splash, not the start.
        os::log() << u"Starter: splash skin refused: " << os::from_utf8(error.what()) << u"\n";
    }
}

void Starter::show_splash() {
    GameBase& host = m_application.game_base();
    if (m_splash_properties.load_skin(u"%app_path%/skins/bin/splash.skin", host.display_info())) {
        bind_splash();
    } else {
        os::log() << u"Starter: no splash skin\n";
    }
    host.set_direct_input(false);
    host.set_windowed(false);
    host.set_orientation(host.screen_info().orientation == 4 ? 0 : host.screen_info().orientation);
}

void Starter::on_other_instance_started(const std::u16string& text) {
    os::log() << u"on_other_instance_started:" << text << u"\n";
    handle_command_line(text);
    // A call is recorded in the background; anything else brings the program forward.
    if (text != u"call") m_application.game_base().bring_to_front();
}

bool Starter::can_close() {
    const Document* document = Document::instance();
    return !document || !document->is_recording();
}

void Starter::on_resolution_changed() {
    GameBase& host = m_application.game_base();
    host.set_orientation(host.orientation());
    if (m_stack) {
        const DisplayInfo display = host.display_info();
        m_stack->set_screen_size({display.width, display.height});
    }
}

void Starter::set_main_screen_hooks(MainScreenHooks hooks) {
    m_hooks = hooks;
    if (!m_main_screen) return;
    MainScreenHooks& shown = m_main_screen->hooks();
    if (hooks.show_recording) shown.show_recording = std::move(hooks.show_recording);
    if (hooks.show_playback) shown.show_playback = std::move(hooks.show_playback);
    if (hooks.has_hardware_buttons) shown.has_hardware_buttons = std::move(hooks.has_hardware_buttons);
    if (hooks.open_quick_record) shown.open_quick_record = std::move(hooks.open_quick_record);
}

QuickRecordScreen* Starter::quick_record_screen() {
    if (m_quick_record || !m_context) return m_quick_record.get();
    try {
        auto screen = std::make_unique<QuickRecordScreen>(*m_context);
        screen->build();
        m_quick_record = std::move(screen);
    } catch (const SkinException& error) {
        // A skin without the screen costs the menu item, not the program.
        os::log() << u"Starter: no quick-record screen: " << os::from_utf8(error.what()) << u"\n";
    }
    return m_quick_record.get();
}
void Starter::on_timer(Timer&) {
    GameBase& host = m_application.game_base();
    // A start that cannot show its screen has failed, and the exit status says so.
    if (!load_language()) {
        os::log() << u"Starter: no language file\n";
        host.show_message(lang::no_language_message());
        m_failed = true;
        host.quit();
        return;
    }
    if (!load_main_skin()) {
        os::log() << u"Starter: no main skin\n";
        host.show_message(m_properties.translate(u"NoSkins"));
        m_failed = true;
        host.quit();
        return;
    }
    if (!open_main_screen()) {
        m_failed = true;
        host.quit();
        return;
    }
    if (Document* document = Document::instance()) document->load_secondary_things();
    if (!m_open_pending.empty()) open_recording(std::exchange(m_open_pending, std::u16string()));
    // Settings lost to a damaged registry are never lost silently.
    if (os::reg_take_damage_notice() && m_main_screen) m_main_screen->show_error_text(u"Sorry_settings_damaged");
    m_start_finished = true;
}

bool Starter::load_language() {
    if (!m_language.load_startup_language()) return false;
    // A language chosen from the menu reloads the skin from the next frame (the menu row that was
    // tapped is still running then), not at once.
    m_language_binding = std::make_unique<LanguageBinding>(m_language, m_properties, false);
    // The call notifications speak the user's language too, the one chosen later included.
    if (CallNotification* notification = CallNotification::instance()) {
        notification->set_translate([this](std::u16string_view key, std::u16string_view fallback) {
            return m_language.translate(key, fallback);
        });
    }
    // The splash says its texts in the language from now on.
    if (m_splash_properties.is_loaded()) {
        m_splash_properties.set_language_table(m_language.table());
        bind_splash();
    }
    return true;
}

bool Starter::load_main_skin() {
    return m_properties.load_skin(u"%app_path%/skins/bin/default.skin", m_application.game_base().display_info());
}

bool Starter::open_main_screen() {
    Document* document = Document::instance();
    if (!document) {
        os::log() << u"Starter: no document, no main screen\n";
        return true;
    }
    GameBase& host = m_application.game_base();
    const DisplayInfo display = host.display_info();
    m_host = std::make_unique<WindowScreenHost>(host);
    m_stack = std::make_unique<ScreenManager>(Size{display.width, display.height});
    m_context = std::make_unique<ScreenContext>(ScreenContext{m_properties, m_language, *m_stack, *document, *m_host});
    MainScreenHooks hooks = m_hooks;
    if (!hooks.has_hardware_buttons) {
        hooks.has_hardware_buttons = [this] {
            QuickRecordScreen* screen = quick_record_screen();
            return screen && screen->count_buttons() > 0;
        };
    }
    if (!hooks.open_quick_record) {
        hooks.open_quick_record = [this] {
            if (QuickRecordScreen* screen = quick_record_screen()) screen->open();
        };
    }
    try {
        auto screen = std::make_unique<MainScreen>(*m_context, std::move(hooks));
        // Every screen it owns is built now: a skin that lacks a part fails here, not at a tap.
        screen->build_all();
        m_main_screen = std::move(screen);
    } catch (const SkinException& error) {
        const std::u16string reason = os::from_utf8(error.what());
        os::log() << u"Starter: the main skin is incomplete: " << reason << u"\n";
        host.show_message(m_properties.translate(u"NoSkins") + u"\n(" + reason + u")");
        return false;
    }
    // The stack replaces the splash.
    m_stack->push_screen(m_main_screen.get(), false);
    host.set_frame_source(m_stack.get());
    host.set_input_sink(m_stack.get());
    m_splash.reset();
    // A recording started from the command line is running already: its screen comes up.
    m_main_screen->show_running_recording();
    // A chosen "call recorded" notification plays the call, as "open PATH" would.
    if (CallNotification* notification = CallNotification::instance()) {
        notification->set_open_hook([this](const std::u16string& path) { open_recording(path); });
    }
    // Play from the desktop's media controls shows the playback screen as a tap on the row would.
    if (MediaSession* session = MediaSession::instance()) {
        session->set_play_hook(
            [screen = m_main_screen.get()](const std::u16string& path) { screen->play_record(path); });
    }
    return true;
}

void Starter::handle_command_line(const std::u16string& text) {
    if (text == u"open" || text.starts_with(u"open ")) {
        const std::u16string path = text.size() > 5 ? text.substr(5) : std::u16string();
        if (path.empty()) {
            os::log() << u"open: no recording named\n";
        } else if (m_main_screen) {
            open_recording(path);
        } else {
            // The list and the playback screen come with the main screen.
            m_open_pending = path;
        }
        return;
    }
    if (Document* document = Document::instance()) document->handle_command_line(text);
}

void Starter::open_recording(const std::u16string& path) {
    os::log() << u"open: " << path << u"\n";
    Document* document = Document::instance();
    if (!document || !m_main_screen) return;
    if (document->is_recording()) {
        // Playing would end the recording: its screen stays, and the user can open the file after.
        os::log() << u"open: a recording runs, " << path << u" is not opened\n";
        return;
    }
    if (!os::exists(path)) {
        os::log() << u"open: " << path << u" is gone\n";
        m_main_screen->show_error_text(u"Sorry_recording_gone");
        return;
    }
    m_main_screen->play_record(path);
    if (document->is_playing()) os::log() << u"open: playing " << path << u"\n";
}

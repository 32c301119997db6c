#include "app/starter.h"

#include <exception>

#include "app/application.h"
#include "app/single_screen.h"
#include "document/document.h"
#include "os/log.h"
#include "os/path.h"
#include "os/text.h"
#include "os/tick.h"
#include "skin/language_binding.h"

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
    m_language_binding.reset();
    GameBase& host = m_application.game_base();
    host.set_frame_source(nullptr);
    host.set_input_sink(nullptr);
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
}

void Starter::on_timer(Timer&) {
    GameBase& host = m_application.game_base();
    if (!load_language()) {
        host.show_message(lang::no_language_message());
        host.quit();
        return;
    }
    if (!load_main_skin()) {
        host.show_message(m_properties.translate(u"NoSkins"));
        host.quit();
        return;
    }
    open_main_screen();
    if (Document* document = Document::instance()) document->load_secondary_things();
    m_start_finished = true;
}

bool Starter::load_language() {
    if (!m_language.load_startup_language()) return false;
    m_language_binding = std::make_unique<LanguageBinding>(m_language, m_properties);
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

void Starter::open_main_screen() {
    // The main screen replaces the splash here once it exists, and brings up the recording screen
    // when a recording started from the command line is already running.
}

void Starter::handle_command_line(const std::u16string& text) {
    if (Document* document = Document::instance()) document->handle_command_line(text);
}

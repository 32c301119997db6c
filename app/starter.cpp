#include "app/starter.h"

#include "app/application.h"
#include "document/document.h"
#include "os/log.h"
#include "os/tick.h"

Starter::Starter(Application& application, std::u16string command_line) : m_application(application) {
    os::log() << u"Starter:" << os::tick_count() << u"\n";
    handle_command_line(command_line);
    if (command_line == u"call") {
        if (Document* document = Document::instance()) document->set_started_for_call(true);
    }
    // Started for a call, the window starts minimised; there is no window yet to minimise.
    m_application.set_listener(this);
}

Starter::~Starter() {
    if (m_application.listener() == this) m_application.set_listener(nullptr);
}

void Starter::on_other_instance_started(const std::u16string& text) {
    os::log() << u"on_other_instance_started:" << text << u"\n";
    handle_command_line(text);
    // A call is recorded in the background; anything else brings the program forward.
    if (text != u"call") m_application.game_base().bring_to_front();
}

void Starter::handle_command_line(const std::u16string& text) {
    if (Document* document = Document::instance()) document->handle_command_line(text);
}

#include "app/application_listener.h"

#include "app/game_base.h"

void ApplicationListener::on_command(const std::u16string&) {
    if (GameBase* host = GameBase::instance()) host->bring_to_front();
}

bool ApplicationListener::on_key(const KeyEvent&) { return false; }

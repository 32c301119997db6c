#pragma once
// The start-up sequence and the application's listener for the whole run. Until the document and
// the skins exist it executes nothing: it logs the command lines handed over by other instances.
#include <string>

#include "app/application_listener.h"

class Application;

class Starter final : public ApplicationListener {
public:
    Starter(Application& application, std::u16string command_line);
    ~Starter() override;

    void on_command(const std::u16string& text) override { on_other_instance_started(text); }
    void on_other_instance_started(const std::u16string& text);

private:
    // Where the document executes the command words ("call", "record").
    void handle_command_line(const std::u16string& text);

    Application& m_application;
};

#pragma once
// Keeps a skin's language table in step with the program's language: every new table is copied
// into the Properties, and the skin is reloaded so that every screen looks its texts up anew.
//
// When the language changes inside a widget's event (a menu row), reloading at once would rebuild
// the widget under its own feet; such owners pass reload_at_once = false and send the reload
// themselves from the next frame.
#include "lang/language.h"
#include "skin/properties.h"

class LanguageBinding final : public LanguageListener {
public:
    LanguageBinding(Language& language, Properties& properties, bool reload_at_once = true)
        : m_language(language), m_properties(properties), m_reload_at_once(reload_at_once) {
        m_properties.set_language_table(m_language.table());
        m_language.add_listener(this);
    }
    ~LanguageBinding() override { m_language.remove_listener(this); }
    LanguageBinding(const LanguageBinding&) = delete;
    LanguageBinding& operator=(const LanguageBinding&) = delete;

    void on_language_changed(const Language& language) override {
        m_properties.set_language_table(language.table());
        if (m_reload_at_once) m_properties.send_reload_skin();
    }

private:
    Language& m_language;
    Properties& m_properties;
    bool m_reload_at_once;
};

#include "lang/language.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "lang/language_names.h"
#include "os/file_system.h"
#include "os/log.h"
#include "os/path.h"
#include "os/registry.h"
#include "os/text.h"
#include "os/walk.h"

Language::Language(std::u16string folder) : m_folder(std::move(folder)) {}

bool Language::load(std::u16string_view path) {
    const std::u16string full_path = os::expand_path(path);
    lang::KeyValueFile file = lang::read_key_value_file(full_path);
    if (!file.opened) return false;
    m_table = std::move(file.entries);
    m_path = full_path;
    os::log() << u"Language::load " << m_path << u" texts=" << m_table.size() << u"\n";
    notify();
    return true;
}

std::u16string Language::translate(std::u16string_view key) const { return translate(key, key); }

std::u16string Language::translate(std::u16string_view key, std::u16string_view fallback) const {
    const auto it = m_table.find(std::u16string(key));
    return it != m_table.end() ? it->second : std::u16string(fallback);
}

std::u16string Language::name() const { return m_path.empty() ? std::u16string() : os::title_of(m_path); }

std::u16string Language::folder() const { return os::expand_path(m_folder); }

std::vector<std::u16string> Language::files() const {
    std::vector<std::u16string> found;
    os::walk(
        folder(), u"*.lng", u"", false,
        [&](const std::u16string& path) {
            // The mask ignores case; a name that merely ends in ".lng" in other letters is not
            // one of ours.
            if (u"." + os::extension_of(path) == lang::kLanguageExtension) found.push_back(path);
            return true;
        },
        [](const std::u16string&) { return true; });
    std::sort(found.begin(), found.end());
    return found;
}

bool Language::has_choice() const { return files().size() > 1; }

std::u16string Language::find_file(std::u16string_view name) const {
    if (!lang::is_plain_language_name(name)) return {};
    const std::u16string exact = os::join(folder(), std::u16string(name) + std::u16string(lang::kLanguageExtension));
    if (os::FileInfo(exact).exists() && !os::FileInfo(exact).is_folder()) return exact;
    // The names in the table and in the setting may differ in letter case from the file's.
    const std::u16string wanted = os::lower(name);
    for (const std::u16string& path : files()) {
        if (os::lower(os::title_of(path)) == wanted) return path;
    }
    return {};
}

bool Language::load_startup_language() {
    std::u16string setting;
    if (!os::reg_read_string(lang::kSettingsKey, lang::kLanguageValue, setting)) setting.clear();
    return load_startup_language(setting, lang::system_language_name());
}

bool Language::load_startup_language(std::u16string_view setting, std::u16string_view system_name) {
    std::vector<std::u16string> candidates;
    for (std::u16string_view name : {setting, system_name, std::u16string_view(u"english")}) {
        if (name.empty()) continue;
        std::u16string path = find_file(name);
        if (!path.empty()) candidates.push_back(std::move(path));
    }
    for (std::u16string& path : files()) candidates.push_back(std::move(path));
    std::set<std::u16string> tried;
    for (const std::u16string& path : candidates) {
        if (!tried.insert(path).second) continue;
        if (load(path)) return true;
    }
    return false;
}

bool Language::choose(std::u16string_view name) {
    if (!lang::is_plain_language_name(name)) return false;
    const std::u16string path = os::join(folder(), std::u16string(name) + std::u16string(lang::kLanguageExtension));
    if (path == m_path) return false;
    if (!load(path)) return false;
    os::reg_write_string(lang::kSettingsKey, lang::kLanguageValue, name);
    os::reg_flush(lang::kSettingsKey);
    return true;
}

void Language::add_listener(LanguageListener* listener) {
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end()) {
        m_listeners.push_back(listener);
    }
}

void Language::remove_listener(LanguageListener* listener) { std::erase(m_listeners, listener); }

void Language::notify() {
    // A listener may remove itself or another one while it is told (a screen closing as the texts
    // change); each is told once, and only while it is still registered.
    const std::vector<LanguageListener*> listeners = m_listeners;
    for (LanguageListener* listener : listeners) {
        if (std::find(m_listeners.begin(), m_listeners.end(), listener) != m_listeners.end()) {
            listener->on_language_changed(*this);
        }
    }
}

namespace lang {

bool is_plain_language_name(std::u16string_view name) {
    if (name.empty() || name == u"." || name == u"..") return false;
    return std::none_of(name.begin(), name.end(), [](char16_t c) { return os::is_separator(c) || c == u'\0'; });
}

std::u16string no_language_message() {
    return u"No languages, please reinstall\n"
           u"Не найдены языковые файлы, нужна переустановка\n";
}

void report_no_language() {
    const std::u16string message = no_language_message();
    std::fputs(os::to_utf8(message).c_str(), stderr);
    std::fflush(stderr);
    os::log() << message;
}

}  // namespace lang

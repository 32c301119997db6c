#include "os/path.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "os/log.h"
#include "os/runtime_folder.h"
#include "os/text.h"

namespace os {
namespace {

std::u16string env_text(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? from_utf8(value) : std::u16string();
}

std::u16string home_folder() {
    std::u16string home = env_text("HOME");
    return home.empty() ? u"/tmp" : strip_separator(home);
}

struct ProgramFile {
    std::u16string full_name;
    std::u16string folder;
    std::u16string name;
    std::u16string data_folder;
};

bool is_folder(const std::u16string& path) {
    std::error_code error;
    return std::filesystem::is_directory(std::filesystem::path(to_utf8(path)), error);
}

// Computed once, at first use.
const ProgramFile& program_file() {
    static const ProgramFile file = [] {
        ProgramFile result;
        char buffer[1024];
        const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
        if (n >= static_cast<ssize_t>(sizeof buffer) - 1) {
            fatal_error(u"get_app_path()", u"path is more then MAX_PATH long");
        }
        result.full_name = n > 0 ? from_utf8(std::string_view(buffer, static_cast<size_t>(n))) : u"quillon-touch";
        const size_t cut = result.full_name.find_last_of(u"\\/");
        result.folder = cut == std::u16string::npos ? u"" : result.full_name.substr(0, cut);
        result.name = cut == std::u16string::npos ? result.full_name : result.full_name.substr(cut + 1);
        const std::u16string override_dir = env_text("QUILLON_APP_DIR");
        result.data_folder = override_dir.empty() ? data_folder_of(result.folder) : strip_separator(override_dir);
        return result;
    }();
    return file;
}

// XDG_DOCUMENTS_DIR from user-dirs.dirs, with "$HOME" replaced.
std::u16string xdg_documents() {
    std::u16string config = env_text("XDG_CONFIG_HOME");
    if (config.empty()) config = home_folder() + u"/.config";
    std::ifstream in(to_utf8(config + u"/user-dirs.dirs"));
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = "XDG_DOCUMENTS_DIR=";
        if (line.rfind(key, 0) != 0) continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        std::u16string text = from_utf8(value);
        return replace_all(text, u"$HOME", home_folder());
    }
    return home_folder() + u"/Documents";
}

}  // namespace

std::u16string app_full_name() { return program_file().full_name; }
std::u16string app_path() { return program_file().data_folder; }
std::u16string program_folder() { return program_file().folder; }
std::u16string app_name() { return program_file().name; }

// The data files lie beside the program in the build tree (and in an unpacked copy of it); an
// installed program finds them in its share folder, which the build computed relative to bin/.
std::u16string data_folder_of(std::u16string_view program_folder) {
    const std::u16string folder = strip_separator(program_folder);
    if (is_folder(folder + u"/skins")) return folder;
    const std::filesystem::path installed =
        (std::filesystem::path(to_utf8(folder)) / QUILLON_DATA_FROM_PROGRAM).lexically_normal();
    const std::u16string candidate = strip_separator(from_utf8(installed.string()));
    return is_folder(candidate) ? candidate : folder;
}

std::u16string user_data_folder() {
    std::u16string root = env_text("QUILLON_ROOT");
    if (!root.empty()) return strip_separator(root);
    std::u16string data = env_text("XDG_DATA_HOME");
    if (data.empty()) data = home_folder() + u"/.local/share";
    return strip_separator(data) + u"/quillon-touch";
}

std::u16string config_folder() {
    std::u16string root = env_text("QUILLON_ROOT");
    if (!root.empty()) return strip_separator(root);
    std::u16string config = env_text("XDG_CONFIG_HOME");
    if (config.empty()) config = home_folder() + u"/.config";
    return strip_separator(config) + u"/quillon-touch";
}

std::u16string runtime_folder() {
    std::u16string root = env_text("QUILLON_ROOT");
    if (!root.empty()) return strip_separator(root);
    std::u16string runtime = env_text("XDG_RUNTIME_DIR");
    if (!runtime.empty()) return strip_separator(runtime) + u"/quillon-touch";
    // /tmp is shared: another user could have made the folder first to hold our lock or socket.
    std::u16string cache = env_text("XDG_CACHE_HOME");
    if (cache.empty()) cache = home_folder() + u"/.cache";
    return choose_private_folder(u"/tmp/quillon-touch-" + to_text(static_cast<long long>(::getuid())),
                                 strip_separator(cache) + u"/quillon-touch/runtime");
}

std::u16string my_documents_folder() {
    std::u16string root = env_text("QUILLON_ROOT");
    if (!root.empty()) return strip_separator(root) + u"/Documents";
    return strip_separator(xdg_documents());
}

std::u16string expand_path(std::u16string_view path) {
    struct Macro {
        std::u16string_view name;
        std::u16string (*value)();
    };
    static const Macro macros[] = {
        {u"%app_full_name%", app_full_name},
        {u"%app_path%", app_path},
        {u"%app_name%", app_name},
        {u"%my_documents%", my_documents_folder},
        {u"%windows%", [] { return user_data_folder() + u"/windows"; }},
        {u"%startup%", [] { return user_data_folder() + u"/startup"; }},
        {u"%programs%", [] { return user_data_folder() + u"/programs"; }},
        {u"%start_menu%", [] { return user_data_folder() + u"/start_menu"; }},
        {u"%program_files%", [] { return user_data_folder() + u"/program_files"; }},
    };
    std::u16string out;
    for (const Macro& macro : macros) {
        if (path.substr(0, macro.name.size()) == macro.name) {
            out = macro.value();
            path.remove_prefix(macro.name.size());
            break;
        }
    }
    for (char16_t c : path) out += c == u'\\' ? u'/' : c;
    return out;
}

std::u16string strip_separator(std::u16string_view path) {
    if (!path.empty() && is_separator(path.back())) path.remove_suffix(1);
    return std::u16string(path);
}

std::u16string folder_of(std::u16string_view path) {
    const size_t cut = path.find_last_of(u"\\/");
    return cut == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(0, cut + 1));
}

std::u16string file_name_of(std::u16string_view path) {
    const size_t cut = path.find_last_of(u"\\/");
    return std::u16string(cut == std::u16string_view::npos ? path : path.substr(cut + 1));
}

std::u16string extension_of(std::u16string_view path) {
    const size_t dot = path.rfind(u'.');
    const size_t cut = path.find_last_of(u"\\/");
    if (dot == std::u16string_view::npos || (cut != std::u16string_view::npos && dot < cut)) return {};
    return std::u16string(path.substr(dot + 1));
}

std::u16string strip_extension(std::u16string_view path) {
    const size_t dot = path.rfind(u'.');
    const size_t cut = path.find_last_of(u"\\/");
    if (dot == std::u16string_view::npos || (cut != std::u16string_view::npos && dot < cut))
        return std::u16string(path);
    return std::u16string(path.substr(0, dot));
}

std::u16string title_of(std::u16string_view path) { return strip_extension(file_name_of(path)); }

std::u16string join(std::u16string_view folder, std::u16string_view name) {
    if (folder.empty()) return std::u16string(name);
    return strip_separator(folder) + u"/" + std::u16string(name);
}

std::u16string parent_of(std::u16string_view path) { return folder_of(strip_separator(path)); }

std::u16string root_of(std::u16string_view path) {
    const std::u16string expanded = expand_path(path);
    const size_t cut = expanded.find_first_of(u"\\/");
    return cut == std::u16string::npos ? expanded : expanded.substr(0, cut + 1);
}

bool same_path(std::u16string_view a, std::u16string_view b) {
    return lower(strip_separator(expand_path(a))) == lower(strip_separator(expand_path(b)));
}

bool is_under(std::u16string_view path, std::u16string_view folder) {
    // Both sides are expanded first, so "%my_documents%" is compared as the folder it names.
    const std::u16string whole = lower(expand_path(path));
    const std::u16string top = lower(strip_separator(expand_path(folder)));
    if (whole.size() < top.size() || whole.compare(0, top.size(), top) != 0) return false;
    // "/media/CARD2/x" shares its first characters with "/media/CARD" but is not inside it: the
    // matched part must end at a separator.
    return whole.size() == top.size() || top.empty() || whole[top.size()] == u'/';
}

std::u16string replace_all(std::u16string_view text, std::u16string_view what, std::u16string_view with) {
    if (what.empty()) return std::u16string(text);
    std::u16string out;
    size_t from = 0;
    for (size_t at = text.find(what); at != std::u16string_view::npos; at = text.find(what, from)) {
        out.append(text.substr(from, at - from));
        out.append(with);
        from = at + what.size();
    }
    out.append(text.substr(from));
    return out;
}

}  // namespace os

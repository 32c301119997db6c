#pragma once
// Path macros and path text operations. Every path handed to the platform is expanded first.
//
// On Linux "/" is the separator: expansion turns every "\" into "/", operations that build paths
// join with "/", and operations that split accept both.
#include <string>
#include <string_view>

namespace os {

// "%app_full_name%", "%app_path%", "%app_name%", "%my_documents%", "%windows%", "%startup%",
// "%programs%", "%start_menu%", "%program_files%" at position 0 only.
std::u16string expand_path(std::u16string_view path);

// Folders behind the macros. With QUILLON_ROOT set every user path lives under it.
std::u16string app_full_name();  // the running program's file
// Where the data files are: beside the program in the build tree, the share folder of an installed
// program ("/usr/share/quillon-touch" for "/usr/bin/quillon-touch"); QUILLON_APP_DIR replaces it.
std::u16string app_path();
std::u16string program_folder();  // the folder of the running program's file
// app_path() for a program in this folder, QUILLON_APP_DIR aside.
std::u16string data_folder_of(std::u16string_view program_folder);
std::u16string app_name();
std::u16string my_documents_folder();
std::u16string user_data_folder();  // $QUILLON_ROOT, else $XDG_DATA_HOME/quillon-touch
std::u16string config_folder();     // $QUILLON_ROOT, else $XDG_CONFIG_HOME/quillon-touch
// $QUILLON_ROOT, else $XDG_RUNTIME_DIR/quillon-touch, else /tmp/quillon-touch-UID when it is private
// to this user, else $XDG_CACHE_HOME/quillon-touch/runtime.
std::u16string runtime_folder();

std::u16string strip_separator(std::u16string_view path);
std::u16string folder_of(std::u16string_view path);
std::u16string file_name_of(std::u16string_view path);
std::u16string extension_of(std::u16string_view path);
std::u16string strip_extension(std::u16string_view path);
std::u16string title_of(std::u16string_view path);
std::u16string join(std::u16string_view folder, std::u16string_view name);
std::u16string parent_of(std::u16string_view path);
std::u16string root_of(std::u16string_view path);
bool same_path(std::u16string_view a, std::u16string_view b);
bool is_under(std::u16string_view path, std::u16string_view folder);
std::u16string replace_all(std::u16string_view text, std::u16string_view what, std::u16string_view with);
std::u16string lower(std::u16string_view text);
std::u16string upper(std::u16string_view text);

inline bool is_separator(char16_t c) { return c == u'/' || c == u'\\'; }

}  // namespace os

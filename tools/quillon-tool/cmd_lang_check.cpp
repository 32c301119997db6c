// quillon-tool lang-check [FILE]: for translators, checks a language file against the keys the
// program looks up: the keys it lacks, the keys nobody looks up, keys set twice, texts that lost a
// text variable, and what its encoding costs. Without FILE every "*.lng" beside the program.
// Exits 1 when a file cannot be read, lacks a key or loses a variable.
#include <cstdio>

#include "lang/key_value_file.h"
#include "lang/language.h"
#include "lang/text_keys.h"
#include "os/text.h"
#include "tools/quillon-tool/command.h"

namespace {

void say(const std::string& file, const char* what, std::u16string_view detail) {
    std::printf("%s: %s %s\n", file.c_str(), what, os::to_utf8(detail).c_str());
}

// True when the file is complete.
bool check_file(const std::string& file) {
    const lang::KeyValueFile read = lang::read_key_value_file(os::from_utf8(file));
    for (const std::u16string& problem : read.problems) say(file, "note:", problem);
    if (!read.opened) {
        std::printf("%s: cannot be read\n", file.c_str());
        return false;
    }
    const std::vector<std::u16string> missing = lang::missing_keys(read.entries);
    const std::vector<std::u16string> unknown = lang::unknown_keys(read.entries);
    const std::vector<std::u16string> lacking = lang::keys_lacking_variables(read.entries);
    for (const std::u16string& key : missing) {
        const lang::TextKey* entry = lang::find_text_key(key);
        say(file, "missing", key + u" (" + std::u16string(entry->use) + u")");
    }
    for (const std::u16string& key : unknown) say(file, "unknown", key);
    for (const std::u16string& key : read.duplicates) say(file, "repeated", key + u" (the last line counts)");
    for (const std::u16string& key : lacking) {
        say(file, "variable lost in", key + u" (keep " + std::u16string(lang::find_text_key(key)->variables) + u")");
    }
    std::printf("%s: %zu texts, %zu missing, %zu unknown\n", file.c_str(), read.entries.size(), missing.size(),
                unknown.size());
    return missing.empty() && lacking.empty();
}

int run_lang_check(const std::vector<std::string>& args) {
    if (args.size() > 1) return fail("usage: quillon-tool lang-check [FILE]");
    std::vector<std::string> files;
    if (args.empty()) {
        for (const std::u16string& path : Language().files()) files.push_back(os::to_utf8(path));
        if (files.empty()) return fail("no language files beside the program");
    } else {
        files = args;
    }
    bool complete = true;
    for (const std::string& file : files) complete = check_file(file) && complete;
    return complete ? 0 : 1;
}

const ToolCommand command{"lang-check", "[FILE]",
                          "list the keys a language file lacks or that nobody looks up (every .lng without FILE)",
                          &run_lang_check};

}  // namespace

#include "os/execute.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "os/log.h"
#include "os/path.h"
#include "os/text.h"

extern char** environ;

namespace os {
namespace {

bool is_program(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Starts words[0] (searched on PATH when it has no separator) with the other words as its
// arguments. glibc's posix_spawnp reports a program that cannot be executed as its result, so a
// missing program is a failure here, not a child that dies at once.
std::shared_ptr<const ChildExit> spawn_detached(std::vector<std::string> words) {
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    pid_t child = 0;
    const int failed = ::posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ);
    if (failed != 0) return nullptr;
    // Nobody waits for the program, yet it must not stay a zombie: a small thread reaps it and
    // keeps how it ended for whoever started it. This leaves SIGCHLD alone, which other parts of
    // the program may handle.
    auto exit = std::make_shared<ChildExit>();
    std::thread([child, exit] {
        int status = 0;
        pid_t reaped = -1;
        while ((reaped = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
        }
        int code = 0;
        if (reaped < 0) {
            code = 0;  // reaped elsewhere: how it ended is not known, so no failure is claimed
        } else if (WIFEXITED(status)) {
            code = WEXITSTATUS(status);
        } else if (WIFSIGNALED(status)) {
            code = 128 + WTERMSIG(status);
        }
        exit->exit_code.store(code);
        exit->ended.store(true, std::memory_order_release);
    }).detach();
    return exit;
}

}  // namespace

std::vector<std::u16string> split_parameters(std::u16string_view parameters) {
    std::vector<std::u16string> words;
    std::u16string word;
    bool in_word = false;
    bool quoted = false;
    for (char16_t c : parameters) {
        if (c == u'"') {
            quoted = !quoted;
            in_word = true;  // "" is an empty word of its own
        } else if (!quoted && (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r')) {
            if (in_word) words.push_back(std::move(word));
            word.clear();
            in_word = false;
        } else {
            word += c;
            in_word = true;
        }
    }
    if (in_word) words.push_back(std::move(word));
    return words;
}

bool execute_file(std::u16string_view path, std::u16string_view parameters) {
    return start_file(path, parameters) != nullptr;
}

bool execute_program(std::u16string_view program, const std::vector<std::u16string>& arguments) {
    return start_program(program, arguments) != nullptr;
}

std::shared_ptr<const ChildExit> start_file(std::u16string_view path, std::u16string_view parameters) {
    log() << u"execute_file(" << path << u"} {" << parameters << u")" << u"\n";
    const std::u16string expanded = expand_path(path);
    if (expanded.empty()) return nullptr;

    std::vector<std::string> words;
    const bool bare_name = expanded.find(u'/') == std::u16string::npos;
    const std::string target = to_utf8(expanded);
    if (bare_name || is_program(target)) {
        words.push_back(target);
        for (const std::u16string& word : split_parameters(parameters)) words.push_back(to_utf8(word));
    } else {
        // A document opens in the user's program for its type; xdg-open takes the file alone.
        words = {"xdg-open", target};
    }
    return spawn_detached(words);
}

std::shared_ptr<const ChildExit> start_program(std::u16string_view program,
                                               const std::vector<std::u16string>& arguments) {
    LogStream line = log();
    line << u"execute_program(" << program;
    for (const std::u16string& argument : arguments) line << u"} {" << argument;
    line << u")" << u"\n";
    if (program.empty()) return nullptr;
    std::vector<std::string> words{to_utf8(program)};
    for (const std::u16string& argument : arguments) words.push_back(to_utf8(argument));
    return spawn_detached(words);
}

}  // namespace os

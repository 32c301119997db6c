#pragma once
// Opening a file with the desktop's program for it, or starting a program, without waiting.
#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace os {

// Logs "execute_file(" + path + "} {" + parameters + ")" and starts, without a shell and without
// waiting:
//  - a path without a separator: the program of that name from PATH ("xdg-email");
//  - an executable file: that program;
//  - anything else: "xdg-open PATH", the desktop's "open".
// The parameters are split into words at white space; double quotes keep a word with spaces
// together and are removed. False when nothing could be started.
bool execute_file(std::u16string_view path, std::u16string_view parameters);

// How a started program ended, filled in by the thread that reaps it: `ended` turns true once,
// after `exit_code` holds the program's exit status (128 + the signal's number when a signal ended
// it). The starter reads it whenever it likes without waiting.
struct ChildExit {
    std::atomic<int> exit_code{0};
    std::atomic<bool> ended{false};
    bool failed() const { return ended.load(std::memory_order_acquire) && exit_code.load() != 0; }
};

// execute_file and execute_program, with the ending reported: null when nothing could be started.
std::shared_ptr<const ChildExit> start_file(std::u16string_view path, std::u16string_view parameters);
std::shared_ptr<const ChildExit> start_program(std::u16string_view program,
                                               const std::vector<std::u16string>& arguments);

// Starts a program from PATH (or by its path) with these arguments exactly as given, each one word
// whatever quotes or spaces it holds, without a shell and without waiting. Logs "execute_program("
// + program + ")" and each argument after "} {". False when the program could not be started.
bool execute_program(std::u16string_view program, const std::vector<std::u16string>& arguments);

// The words of a parameter text, as execute_file splits them.
std::vector<std::u16string> split_parameters(std::u16string_view parameters);

}  // namespace os

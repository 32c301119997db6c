#pragma once
// Opening a file with the desktop's program for it, or starting a program, without waiting.
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

// Starts a program from PATH (or by its path) with these arguments exactly as given, each one word
// whatever quotes or spaces it holds, without a shell and without waiting. Logs "execute_program("
// + program + ")" and each argument after "} {". False when the program could not be started.
bool execute_program(std::u16string_view program, const std::vector<std::u16string>& arguments);

// The words of a parameter text, as execute_file splits them.
std::vector<std::u16string> split_parameters(std::u16string_view parameters);

}  // namespace os

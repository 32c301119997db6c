#pragma once
// Sub-commands of quillon-tool. Each lives in its own cmd_<name>.cpp and registers itself:
//
//     static const ToolCommand info{"info", "FILE", "probe a recording and print it as JSON", &run_info};
//
// A command returns the process exit status; on failure it prints a one-line reason to stderr.
#include <string>
#include <vector>

struct ToolCommand {
    using Function = int (*)(const std::vector<std::string>& args);
    ToolCommand(const char* name, const char* usage, const char* summary, Function function);

    const char* name;
    const char* usage;
    const char* summary;
    Function function;
};

// Prints "quillon-tool: " + reason and returns 1, for `return fail("...")`.
int fail(const std::string& reason);

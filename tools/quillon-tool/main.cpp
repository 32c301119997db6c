#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/quillon-tool/command.h"

namespace {
std::vector<const ToolCommand*>& commands() {
    static std::vector<const ToolCommand*> list;
    return list;
}

// Asked for, the usage goes to standard output (for pagers and the completion script); after a
// mistake, to standard error.
void usage(FILE* out) {
    std::fprintf(out, "usage: quillon-tool COMMAND [ARGS]\n       quillon-tool COMMAND --help\n");
    for (const ToolCommand* command : commands()) {
        std::fprintf(out, "  %s %s\n      %s\n", command->name, command->usage, command->summary);
    }
}

void command_usage(const ToolCommand& command) {
    std::printf("usage: quillon-tool %s%s%s\n  %s\n", command.name, *command.usage ? " " : "", command.usage,
                command.summary);
}

bool asks_for_help(int argc, char** argv) {
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    }
    return false;
}
}  // namespace

ToolCommand::ToolCommand(const char* name_, const char* usage_, const char* summary_, Function function_)
    : name(name_), usage(usage_), summary(summary_), function(function_) {
    commands().push_back(this);
}

int fail(const std::string& reason) {
    std::fprintf(stderr, "quillon-tool: %s\n", reason.c_str());
    return 1;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        usage(stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "help") == 0) {
        if (argc < 3) {
            usage(stdout);
            return 0;
        }
        for (const ToolCommand* command : commands()) {
            if (std::strcmp(command->name, argv[2]) == 0) {
                command_usage(*command);
                return 0;
            }
        }
        return fail(std::string("unknown command ") + argv[2]);
    }
    for (const ToolCommand* command : commands()) {
        if (std::strcmp(command->name, argv[1]) != 0) continue;
        if (asks_for_help(argc, argv)) {
            command_usage(*command);
            return 0;
        }
        return command->function(std::vector<std::string>(argv + 2, argv + argc));
    }
    usage(stderr);
    return fail(std::string("unknown command ") + argv[1]);
}

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

void usage() {
    std::fprintf(stderr, "usage: quillon-tool COMMAND [ARGS]\n");
    for (const ToolCommand* command : commands()) {
        std::fprintf(stderr, "  %s %s\n      %s\n", command->name, command->usage, command->summary);
    }
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
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
        usage();
        return argc < 2 ? 2 : 0;
    }
    for (const ToolCommand* command : commands()) {
        if (std::strcmp(command->name, argv[1]) == 0) return command->function(std::vector<std::string>(argv + 2, argv + argc));
    }
    usage();
    return fail(std::string("unknown command ") + argv[1]);
}

// quillon-tool skin-dump FILE.skin: prints a skin's whole tree with every property, in the source
// form quillon-skinc reads, so any skin file can be inspected (pictures and fonts are not loaded).
#include <cstdio>
#include <fstream>
#include <iterator>

#include "skin/skin_dump.h"
#include "tools/quillon-tool/command.h"

namespace {
int run_skin_dump(const std::vector<std::string>& args) {
    if (args.size() != 1) return fail("usage: quillon-tool skin-dump FILE.skin");
    std::ifstream input(args[0], std::ios::binary);
    if (!input) return fail(args[0] + ": cannot be read");
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
    const SkinDump dump = dump_skin(std::move(bytes));
    if (!dump.ok) return fail(args[0] + ": " + dump.text);
    std::fwrite(dump.text.data(), 1, dump.text.size(), stdout);
    return 0;
}

const ToolCommand command{"skin-dump", "FILE.skin", "print a skin's element tree with every property", &run_skin_dump};
}  // namespace

#pragma once
// A skin file written back as compiler source: every top-level element with every property and
// child, so any skin can be inspected (and recompiled). Pictures and fonts are named, not loaded.
#include <cstdint>
#include <string>
#include <vector>

struct SkinDump {
    bool ok = false;
    std::string text;  // the source, or the reason the file was refused
};

SkinDump dump_skin(std::vector<uint8_t> bytes);

// A text as a quoted source value: backslash, quote and control characters escaped.
std::string quote_source_text(const std::u16string& text);

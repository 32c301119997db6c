#include "skin/skin_dump.h"

#include <cstdio>

#include "os/text.h"
#include "skin/properties_impl.h"
#include "skin/skin_format.h"

using namespace skin_format;

std::string quote_source_text(const std::u16string& text) {
    std::string out = "\"";
    for (char c : os::to_utf8(text)) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\x%02x", static_cast<unsigned char>(c));
                    out += buffer;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

namespace {
class Dumper {
public:
    explicit Dumper(const PropertiesImpl& skin) : m_skin(skin), m_image(skin.image) {}

    void element(uint32_t record, int depth) {
        const std::string indent(static_cast<size_t>(depth) * 4, ' ');
        for (int kind = 0; kind < kTableCount; ++kind) {
            const auto span = m_skin.table(record, kind);
            if (!span) {
                out += indent + "# table " + std::to_string(kind) + " lies outside the file\n";
                continue;
            }
            for (uint32_t i = 0; i < span->count; ++i) property(kind, span->first + i * kEntrySize[kind], indent);
        }
        const uint32_t count = m_image.u16(record + kRecordChildCount);
        for (uint32_t i = 0; i < count; ++i) {
            out += indent + "child {\n";
            element(m_image.u32(record + kRecordChildren + 4 * i), depth + 1);
            out += indent + "}\n";
        }
    }

    std::string out;

private:
    void property(int kind, uint32_t entry, const std::string& indent) {
        const std::string name = os::to_utf8(m_image.text(m_image.u16(entry)));
        std::string line = indent;
        switch (static_cast<Table>(kind)) {
            case Table::Integer:
                line += "int " + name + " " + std::to_string(m_image.i32(entry + 4));
                break;
            case Table::Font: {
                const uint32_t index = m_image.u32(entry + 4);
                line += index < m_skin.font_descriptions.size()
                            ? "font " + name + " " + quote_source_text(m_skin.font_descriptions[index])
                            : "# font " + name + ": index " + std::to_string(index) + " past the font count";
                break;
            }
            case Table::Point:
                line += "point " + name + " " + std::to_string(m_image.i16(entry + 4)) + " " +
                        std::to_string(m_image.i16(entry + 6));
                break;
            case Table::String: {
                const uint32_t index = m_image.u16(entry + 2);
                line += index < m_skin.strings.size()
                            ? "string " + name + " " + quote_source_text(m_skin.strings[index])
                            : "# string " + name + ": index " + std::to_string(index) + " past the string count";
                break;
            }
            case Table::Picture: {
                const uint32_t index = m_image.u8(entry + 18);
                if (index >= m_skin.picture_names.size()) {
                    line += "# picture " + name + ": index " + std::to_string(index) + " past the picture count";
                    break;
                }
                line += "picture " + name + " " + quote_source_text(m_skin.picture_names[index]);
                for (uint32_t i = 0; i < 8; ++i) line += " " + std::to_string(m_image.u16(entry + 2 + 2 * i));
                if (m_image.u8(entry + 19) != 0) line += " flag";
                break;
            }
            case Table::Color:
                line += "color " + name + " " + std::to_string(m_image.u8(entry + 4)) + " " +
                        std::to_string(m_image.u8(entry + 5)) + " " + std::to_string(m_image.u8(entry + 6));
                break;
        }
        out += line + "\n";
    }

    const PropertiesImpl& m_skin;
    const SkinImage& m_image;
};

void in_order(const PropertiesImpl& skin, uint32_t entry, Dumper& dumper) {
    // Loading refused directories with loops, so this walk ends; its depth is bounded by the
    // element limit, which recursion of this size handles only when the tree is balanced, so
    // walk iteratively.
    std::vector<uint32_t> stack;
    while (entry != 0xFFFFFFFF || !stack.empty()) {
        while (entry != 0xFFFFFFFF) {
            stack.push_back(entry);
            entry = skin.image.u32(entry + kEntryLeft);
        }
        entry = stack.back();
        stack.pop_back();
        dumper.out += "element " + quote_source_text(skin.image.text(skin.image.u32(entry + kEntryName))) + " {\n";
        dumper.element(entry + kEntryRecord, 1);
        dumper.out += "}\n";
        entry = skin.image.u32(entry + kEntryRight);
    }
}
}  // namespace

SkinDump dump_skin(std::vector<uint8_t> bytes) {
    SkinDump result;
    PropertiesImpl skin(std::move(bytes), u"", DisplayInfo{}, false);
    if (!skin.is_valid()) {
        result.text = "not a valid skin file";
        return result;
    }
    Dumper dumper(skin);
    dumper.out = "# pictures " + std::to_string(skin.picture_names.size()) + ", fonts " +
                 std::to_string(skin.font_descriptions.size()) + ", strings " + std::to_string(skin.strings.size()) +
                 "\n";
    in_order(skin, skin.root, dumper);
    result.ok = true;
    result.text = std::move(dumper.out);
    return result;
}

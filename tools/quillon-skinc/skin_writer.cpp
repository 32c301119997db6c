#include "tools/quillon-skinc/skin_writer.h"

#include <algorithm>
#include <map>

#include "os/text.h"

using namespace skin_format;

namespace {
class Writer {
public:
    Writer(const std::string& file_name, std::string& error) : m_file(file_name), m_error(error) {}

    bool write(const SkinSource& source, std::vector<uint8_t>& bytes) {
        m_out.assign(kHeaderSize, 0);
        for (int i = 0; i < 4; ++i) put16(2 * i, kMagic[i]);

        // Property names first, so their 16-bit offsets reach them.
        for (const SourceElement& element : source.elements) collect_names(element);
        for (auto& [name, offset] : m_names) {
            offset = static_cast<uint32_t>(m_out.size());
            append_text(name);
        }
        if (m_out.size() > kNameLimit) {
            return fail(0, "property names take " + std::to_string(m_out.size()) +
                               " bytes; they must fit in the first 65536 bytes of the file");
        }

        // The string pool: pictures, fonts, then plain strings, each without repeats.
        for (const SourceElement& element : source.elements) collect_pool(element);
        if (m_pictures.size() > 256) return fail(0, "more than 256 pictures (picture indexes are 8-bit)");
        if (m_strings.size() > 65536) return fail(0, "more than 65536 strings (string indexes are 16-bit)");
        put32(kPoolOffset, static_cast<uint32_t>(m_out.size()));
        put32(kPictureCount, static_cast<uint32_t>(m_pictures.size()));
        put32(kFontCount, static_cast<uint32_t>(m_fonts.size()));
        put32(kStringCount, static_cast<uint32_t>(m_strings.size()));
        for (auto* list : {&m_picture_order, &m_font_order, &m_string_order}) {
            for (const std::u16string& text : *list) append_text(text);
        }

        std::vector<const SourceElement*> sorted;
        for (const SourceElement& element : source.elements) sorted.push_back(&element);
        std::sort(sorted.begin(), sorted.end(), [](auto* a, auto* b) { return a->id < b->id; });
        for (size_t i = 1; i < sorted.size(); ++i) {
            if (sorted[i]->id == sorted[i - 1]->id) {
                return fail(sorted[i]->line, "element '" + os::to_utf8(sorted[i]->id) + "' defined twice");
            }
        }
        uint32_t root = 0xFFFFFFFF;
        if (!write_directory(sorted, 0, sorted.size(), root)) return false;
        put32(kRootOffset, root);
        bytes = std::move(m_out);
        return true;
    }

private:
    bool fail(int line, const std::string& reason) {
        m_error = m_file + ":" + std::to_string(line) + ": " + reason;
        return false;
    }

    void put16(size_t at, uint32_t value) {
        m_out[at] = static_cast<uint8_t>(value);
        m_out[at + 1] = static_cast<uint8_t>(value >> 8);
    }
    void put32(size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) m_out[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
    void append16(uint32_t value) {
        m_out.push_back(static_cast<uint8_t>(value));
        m_out.push_back(static_cast<uint8_t>(value >> 8));
    }
    void append32(uint32_t value) {
        for (int i = 0; i < 4; ++i) m_out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    void append_text(const std::u16string& text) {
        for (char16_t unit : text) append16(unit);
        append16(0);
    }

    void collect_names(const SourceElement& element) {
        for (const SourceProperty& property : element.properties) m_names.emplace(property.name, 0);
        for (const SourceElement& child : element.children) collect_names(child);
    }

    static uint32_t add(std::map<std::u16string, uint32_t>& index, std::vector<std::u16string>& order,
                        const std::u16string& text) {
        auto [it, inserted] = index.emplace(text, static_cast<uint32_t>(order.size()));
        if (inserted) order.push_back(text);
        return it->second;
    }
    void collect_pool(const SourceElement& element) {
        for (const SourceProperty& property : element.properties) {
            if (property.table == Table::Picture) add(m_pictures, m_picture_order, property.text);
            if (property.table == Table::Font) add(m_fonts, m_font_order, property.text);
            if (property.table == Table::String) add(m_strings, m_string_order, property.text);
        }
        for (const SourceElement& child : element.children) collect_pool(child);
    }

    bool write_directory(const std::vector<const SourceElement*>& sorted, size_t lo, size_t hi, uint32_t& offset) {
        if (lo >= hi) return true;
        const size_t mid = (lo + hi) / 2;
        offset = static_cast<uint32_t>(m_out.size());
        append32(0xFFFFFFFF);
        append32(0xFFFFFFFF);
        append32(0);  // name, written below
        uint32_t record = 0;
        if (!write_record(*sorted[mid], record)) return false;
        // Directory ids may lie anywhere: their offsets are 32-bit.
        put32(offset + kEntryName, static_cast<uint32_t>(m_out.size()));
        append_text(sorted[mid]->id);
        uint32_t left = 0xFFFFFFFF;
        uint32_t right = 0xFFFFFFFF;
        if (!write_directory(sorted, lo, mid, left) || !write_directory(sorted, mid + 1, hi, right)) return false;
        put32(offset + kEntryLeft, left);
        put32(offset + kEntryRight, right);
        return true;
    }

    bool write_record(const SourceElement& element, uint32_t& offset) {
        offset = static_cast<uint32_t>(m_out.size());
        if (element.children.size() > 65535) return fail(element.line, "more than 65535 children");
        std::vector<const SourceProperty*> tables[kTableCount];
        for (const SourceProperty& property : element.properties) {
            tables[static_cast<int>(property.table)].push_back(&property);
        }
        m_out.resize(m_out.size() + kRecordChildren + 4 * element.children.size(), 0);
        put16(offset + kRecordChildCount, static_cast<uint32_t>(element.children.size()));
        for (int kind = 0; kind < kTableCount; ++kind) {
            auto& table = tables[kind];
            std::stable_sort(table.begin(), table.end(), [](auto* a, auto* b) { return a->name < b->name; });
            for (size_t i = 1; i < table.size(); ++i) {
                if (table[i]->name == table[i - 1]->name) {
                    return fail(table[i]->line, "property '" + os::to_utf8(table[i]->name) +
                                                    "' of this kind is already set on line " +
                                                    std::to_string(table[i - 1]->line));
                }
            }
            const size_t start = m_out.size() - offset;
            if (start > 0xFFFF) return fail(element.line, "element record larger than 65535 bytes");
            put16(offset + 2 * kind, static_cast<uint32_t>(start));
            for (const SourceProperty* property : table) write_entry(*property);
        }
        const size_t end = m_out.size() - offset;
        if (end > 0xFFFF) return fail(element.line, "element record larger than 65535 bytes");
        put16(offset + 2 * kTableCount, static_cast<uint32_t>(end));
        for (size_t i = 0; i < element.children.size(); ++i) {
            uint32_t child = 0;
            if (!write_record(element.children[i], child)) return false;
            put32(offset + kRecordChildren + 4 * i, child);
        }
        return true;
    }

    void write_entry(const SourceProperty& property) {
        append16(m_names.at(property.name));
        switch (property.table) {
            case Table::Integer:
                append16(0);
                append32(static_cast<uint32_t>(property.integer));
                break;
            case Table::Font:
                append16(0);
                append32(m_fonts.at(property.text));
                break;
            case Table::Point:
                append16(0);
                append16(static_cast<uint16_t>(property.x));
                append16(static_cast<uint16_t>(property.y));
                break;
            case Table::String:
                append16(m_strings.at(property.text));
                break;
            case Table::Picture:
                for (uint16_t coordinate : property.coords) append16(coordinate);
                m_out.push_back(static_cast<uint8_t>(m_pictures.at(property.text)));
                m_out.push_back(property.flag ? 1 : 0);
                break;
            case Table::Color:
                append16(0);
                m_out.push_back(property.rgb[0]);
                m_out.push_back(property.rgb[1]);
                m_out.push_back(property.rgb[2]);
                m_out.push_back(0);
                break;
        }
    }

    std::string m_file;
    std::string& m_error;
    std::vector<uint8_t> m_out;
    std::map<std::u16string, uint32_t> m_names;
    std::map<std::u16string, uint32_t> m_pictures, m_fonts, m_strings;
    std::vector<std::u16string> m_picture_order, m_font_order, m_string_order;
};
}  // namespace

bool write_skin(const SkinSource& source, const std::string& file_name, std::vector<uint8_t>& bytes,
                std::string& error) {
    Writer writer(file_name, error);
    return writer.write(source, bytes);
}

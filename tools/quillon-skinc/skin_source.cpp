#include "tools/quillon-skinc/skin_source.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "os/text.h"

using skin_format::Table;

namespace {
class Parser {
public:
    Parser(const std::string& file_name, std::string& error) : m_file(file_name), m_error(error) {}

    bool fail(const std::string& reason) {
        m_error = m_file + ":" + std::to_string(m_line) + ": " + reason;
        return false;
    }

    bool parse(const std::string& text, SkinSource& source) {
        std::istringstream stream(text);
        std::string raw;
        std::vector<SourceElement*> open;
        while (std::getline(stream, raw)) {
            ++m_line;
            if (!raw.empty() && raw.back() == '\r') raw.pop_back();
            m_text = raw;
            m_pos = 0;
            skip_spaces();
            if (at_end() || m_text[m_pos] == '#') continue;
            std::string word = next_word();
            if (word == "}") {
                if (open.empty()) return fail("'}' without an open element");
                open.pop_back();
                if (!expect_end()) return false;
                continue;
            }
            if (word == "element") {
                if (!open.empty()) return fail("'element' inside an element (use 'child')");
                SourceElement element;
                element.line = m_line;
                if (!read_value_word(element.id) || element.id.empty()) return fail("'element' needs an id");
                if (!expect_open()) return false;
                source.elements.push_back(std::move(element));
                open.push_back(&source.elements.back());
                continue;
            }
            if (word == "child") {
                if (open.empty()) return fail("'child' outside an element");
                if (!expect_open()) return false;
                SourceElement child;
                child.line = m_line;
                open.back()->children.push_back(std::move(child));
                open.push_back(&open.back()->children.back());
                continue;
            }
            if (open.empty()) return fail("property '" + word + "' outside an element");
            SourceProperty property;
            property.line = m_line;
            if (!parse_property(word, property)) return false;
            open.back()->properties.push_back(std::move(property));
        }
        if (!open.empty()) {
            m_line = open.back()->line;
            return fail("element is not closed with '}'");
        }
        return true;
    }

private:
    bool at_end() const { return m_pos >= m_text.size(); }
    void skip_spaces() {
        while (!at_end() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t')) ++m_pos;
    }
    std::string next_word() {
        skip_spaces();
        const size_t start = m_pos;
        while (!at_end() && m_text[m_pos] != ' ' && m_text[m_pos] != '\t') ++m_pos;
        return m_text.substr(start, m_pos - start);
    }
    bool expect_open() {
        if (next_word() != "{") return fail("expected '{'");
        return expect_end();
    }
    bool expect_end() {
        skip_spaces();
        if (!at_end() && m_text[m_pos] != '#') return fail("unexpected text '" + m_text.substr(m_pos) + "'");
        return true;
    }

    // A quoted text with escapes, or one bare word.
    bool read_value_word(std::u16string& value) {
        skip_spaces();
        if (!at_end() && m_text[m_pos] == '"') return read_quoted(value);
        value = os::from_utf8(next_word());
        return true;
    }
    // A quoted text, or the rest of the line with surrounding spaces removed.
    bool read_rest(std::u16string& value) {
        skip_spaces();
        if (!at_end() && m_text[m_pos] == '"') return read_quoted(value) && expect_end();
        std::string rest = m_text.substr(m_pos);
        while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.pop_back();
        m_pos = m_text.size();
        value = os::from_utf8(rest);
        return true;
    }
    bool read_quoted(std::u16string& value) {
        std::string bytes;
        ++m_pos;
        while (true) {
            if (at_end()) return fail("text without its closing quote");
            const char c = m_text[m_pos++];
            if (c == '"') break;
            if (c != '\\') {
                bytes += c;
                continue;
            }
            if (at_end()) return fail("text without its closing quote");
            const char e = m_text[m_pos++];
            switch (e) {
                case 'n':
                    bytes += '\n';
                    break;
                case 't':
                    bytes += '\t';
                    break;
                case 'r':
                    bytes += '\r';
                    break;
                case '\\':
                    bytes += '\\';
                    break;
                case '"':
                    bytes += '"';
                    break;
                case 'x': {
                    if (m_pos + 2 > m_text.size()) return fail("\\x needs two hex digits");
                    const std::string hex = m_text.substr(m_pos, 2);
                    char* end = nullptr;
                    const long code = std::strtol(hex.c_str(), &end, 16);
                    if (end != hex.c_str() + 2) return fail("\\x needs two hex digits");
                    bytes += static_cast<char>(code);
                    m_pos += 2;
                    break;
                }
                default:
                    return fail(std::string("unknown escape \\") + e);
            }
        }
        value = os::from_utf8(bytes);
        return true;
    }

    bool read_number(const char* what, int64_t low, int64_t high, int64_t& value) {
        const std::string word = next_word();
        if (word.empty()) return fail(std::string("missing ") + what);
        errno = 0;
        char* end = nullptr;
        const long long parsed = std::strtoll(word.c_str(), &end, 0);
        if (errno != 0 || *end != '\0') return fail(std::string("bad ") + what + " '" + word + "'");
        if (parsed < low || parsed > high) {
            return fail(std::string(what) + " " + word + " out of range " + std::to_string(low) + ".." +
                        std::to_string(high));
        }
        value = parsed;
        return true;
    }

    bool parse_property(const std::string& kind, SourceProperty& property) {
        const std::string name = next_word();
        if (name.empty()) return fail("property '" + kind + "' needs a name");
        property.name = os::from_utf8(name);
        int64_t value = 0;
        if (kind == "int") {
            property.table = Table::Integer;
            if (!read_number("integer", INT32_MIN, INT32_MAX, value)) return false;
            property.integer = static_cast<int32_t>(value);
            return expect_end();
        }
        if (kind == "point") {
            property.table = Table::Point;
            if (!read_number("x", INT16_MIN, INT16_MAX, value)) return false;
            property.x = static_cast<int16_t>(value);
            if (!read_number("y", INT16_MIN, INT16_MAX, value)) return false;
            property.y = static_cast<int16_t>(value);
            return expect_end();
        }
        if (kind == "color") {
            property.table = Table::Color;
            skip_spaces();
            if (!at_end() && m_text[m_pos] == '#') {
                const std::string word = next_word();
                char* end = nullptr;
                const unsigned long rgb = std::strtoul(word.c_str() + 1, &end, 16);
                if (word.size() != 7 || *end != '\0') return fail("colour '" + word + "' is not #RRGGBB");
                property.rgb[0] = static_cast<uint8_t>(rgb >> 16);
                property.rgb[1] = static_cast<uint8_t>(rgb >> 8);
                property.rgb[2] = static_cast<uint8_t>(rgb);
                return expect_end();
            }
            for (uint8_t& channel : property.rgb) {
                if (!read_number("colour channel", 0, 255, value)) return false;
                channel = static_cast<uint8_t>(value);
            }
            return expect_end();
        }
        if (kind == "string" || kind == "font") {
            property.table = kind == "string" ? Table::String : Table::Font;
            return read_rest(property.text);
        }
        if (kind == "picture") {
            property.table = Table::Picture;
            if (!read_value_word(property.text) || property.text.empty()) return fail("picture needs a file name");
            std::vector<std::string> words;
            for (std::string word = next_word(); !word.empty(); word = next_word()) {
                if (word[0] == '#') break;
                words.push_back(word);
            }
            if (!words.empty() && words.back() == "flag") {
                property.flag = true;
                words.pop_back();
            }
            if (words.empty()) {
                property.whole_picture = true;
                return true;
            }
            if (words.size() != 8 && words.size() != 4) {
                return fail("picture takes no coordinates, 4 (outer corners) or 8 (outer and inner corners)");
            }
            uint16_t parsed[8];
            for (size_t i = 0; i < words.size(); ++i) {
                char* end = nullptr;
                errno = 0;
                const long number = std::strtol(words[i].c_str(), &end, 0);
                if (errno != 0 || *end != '\0' || number < 0 || number > 65535) {
                    return fail("bad picture coordinate '" + words[i] + "'");
                }
                parsed[i] = static_cast<uint16_t>(number);
            }
            if (words.size() == 4) {
                // Outer corners only: the inner part is the whole area, so it tiles as one piece.
                const uint16_t p0x = parsed[0], p0y = parsed[1], p2x = parsed[2], p2y = parsed[3];
                const uint16_t full[8] = {p0x, p0y, p0x, p0y, p2x, p2y, p2x, p2y};
                std::copy(full, full + 8, property.coords);
            } else {
                std::copy(parsed, parsed + 8, property.coords);
            }
            const uint16_t* c = property.coords;
            if (!(c[0] <= c[2] && c[2] <= c[6] && c[6] <= c[4] && c[1] <= c[3] && c[3] <= c[7] && c[7] <= c[5])) {
                return fail("picture corners must satisfy p0 <= p1 <= p3 <= p2 on both axes");
            }
            return true;
        }
        return fail("unknown property kind '" + kind + "' (int, point, color, string, font, picture)");
    }

    std::string m_file;
    std::string& m_error;
    int m_line = 0;
    std::string m_text;
    size_t m_pos = 0;
};
}  // namespace

bool parse_skin_source(const std::string& text, const std::string& file_name, SkinSource& source, std::string& error) {
    Parser parser(file_name, error);
    return parser.parse(text, source);
}

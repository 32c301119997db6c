#include "telephony/contacts/vcard_reader.h"

#include <cstdio>
#include <memory>

#include "os/text.h"
#include "telephony/contacts/base64.h"
#include "telephony/phone_state.h"

namespace vcard {
namespace {

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string upper_text(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = upper(c);
    return out;
}

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && upper_text(text.substr(0, prefix.size())) == upper_text(prefix);
}

// Unfolds physical lines into logical ones: a line that begins with a space or a tab continues the
// one before it, without that first character.
class LineReader {
public:
    explicit LineReader(const ByteSource& source) : m_source(source) {}

    // The next logical line; false at the end.
    bool next(std::string& line, bool& overflowed) {
        if (!m_has_pending && !read_physical(m_pending, m_pending_overflowed)) return false;
        m_has_pending = false;
        line = std::move(m_pending);
        overflowed = m_pending_overflowed;
        std::string physical;
        bool physical_overflowed = false;
        while (read_physical(physical, physical_overflowed)) {
            if (!physical.empty() && (physical[0] == ' ' || physical[0] == '\t')) {
                append(line, overflowed, std::string_view(physical).substr(1));
                overflowed = overflowed || physical_overflowed;
                continue;
            }
            m_pending = std::move(physical);
            m_pending_overflowed = physical_overflowed;
            m_has_pending = true;
            break;
        }
        return true;
    }

    static void append(std::string& line, bool& overflowed, std::string_view more) {
        if (line.size() + more.size() > max_line_bytes) {
            overflowed = true;
            more = more.substr(0, max_line_bytes - line.size());
        }
        line.append(more);
    }

private:
    bool fill() {
        if (m_total >= max_file_bytes) return false;
        m_size = m_source(m_buffer.data(), std::min(m_buffer.size(), max_file_bytes - m_total));
        m_position = 0;
        m_total += m_size;
        return m_size > 0;
    }

    // One physical line without its end (CR, LF or CR LF); false at the end of the bytes.
    bool read_physical(std::string& line, bool& overflowed) {
        line.clear();
        overflowed = false;
        bool any = false;
        for (;;) {
            if (m_position == m_size && !fill()) return any;
            any = true;
            const char c = m_buffer[m_position++];
            if (m_skip_lf) {
                m_skip_lf = false;
                if (c == '\n') continue;
            }
            if (c == '\r') {
                m_skip_lf = true;
                return true;
            }
            if (c == '\n') return true;
            if (line.size() < max_line_bytes) {
                line += c;
            } else {
                overflowed = true;
            }
        }
    }

    const ByteSource& m_source;
    std::vector<char> m_buffer = std::vector<char>(65536);
    size_t m_size = 0;
    size_t m_position = 0;
    size_t m_total = 0;
    bool m_skip_lf = false;
    std::string m_pending;
    bool m_pending_overflowed = false;
    bool m_has_pending = false;
};

struct Property {
    std::string name;        // upper case, group removed
    std::string parameters;  // upper case, as written after the name
    std::string value;
    bool overflowed = false;
    bool base64 = false;
    bool quoted_printable = false;
};

// Splits "group.NAME;PARAM=X;Y:value" at the first colon outside double quotes.
bool parse_property(const std::string& line, bool overflowed, Property& out) {
    bool quoted = false;
    size_t colon = std::string::npos;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        if (line[i] == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    if (colon == std::string::npos) return false;
    const std::string head = upper_text(std::string_view(line).substr(0, colon));
    const size_t semicolon = head.find(';');
    std::string name = head.substr(0, semicolon);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(0, dot + 1);
    out.name = name;
    out.parameters = semicolon == std::string::npos ? std::string() : head.substr(semicolon);
    out.value = line.substr(colon + 1);
    out.overflowed = overflowed;
    const std::string& p = out.parameters;
    auto has = [&p](std::string_view parameter) {
        for (size_t at = p.find(parameter); at != std::string::npos; at = p.find(parameter, at + 1)) {
            const size_t end = at + parameter.size();
            const bool left = at > 0 && (p[at - 1] == ';' || p[at - 1] == '=' || p[at - 1] == ',');
            const bool right = end == p.size() || p[end] == ';' || p[end] == ',';
            if (left && right) return true;
        }
        return false;
    };
    out.base64 = has("ENCODING=B") || has("ENCODING=BASE64") || has("BASE64") || has("B");
    out.quoted_printable = has("ENCODING=QUOTED-PRINTABLE") || has("QUOTED-PRINTABLE");
    return true;
}

int hex_value(char c) {
    c = upper(c);
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string decode_quoted_printable(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '=' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 && hex_value(text[i + 2]) >= 0) {
            out += static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
            i += 2;
        } else if (text[i] != '=') {
            out += text[i];
        }
    }
    return out;
}

// One component of a structured value, with "\n", "\,", "\;" and "\\" resolved.
std::string unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            out += next == 'n' || next == 'N' ? ' ' : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<std::string> components(std::string_view text) {
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            part += text[i];
            part += text[++i];
        } else if (text[i] == ';') {
            parts.push_back(unescape(part));
            part.clear();
        } else {
            part += text[i];
        }
    }
    parts.push_back(unescape(part));
    return parts;
}

std::u16string text_value(const Property& property, std::string_view value) {
    std::string bytes = property.quoted_printable ? decode_quoted_printable(value) : std::string(value);
    return phone_state::bounded_text(os::from_utf8(bytes));
}

class CardBuilder {
public:
    explicit CardBuilder(long keep_photo_of) : m_keep_photo_of(keep_photo_of) {}

    void line(const std::string& text, bool overflowed) {
        if (m_has_pending && continues_pending(text)) {
            if (m_pending.quoted_printable) m_pending.value.pop_back();  // the soft line break
            LineReader::append(m_pending.value, m_pending.overflowed, text);
            m_pending.overflowed = m_pending.overflowed || overflowed;
            return;
        }
        finish_pending();
        Property property;
        if (!parse_property(text, overflowed, property)) return;
        if (property.name == "BEGIN" && upper_text(property.value) == "VCARD") {
            m_card = VCard{};
            m_given_name.clear();
            m_in_card = true;
        } else if (property.name == "END" && upper_text(property.value) == "VCARD") {
            if (m_in_card && m_cards.size() < max_cards) {
                if (m_card.formatted_name.empty()) m_card.formatted_name = m_given_name;
                m_cards.push_back(std::move(m_card));
            }
            m_in_card = false;
        } else if (m_in_card) {
            m_pending = std::move(property);
            m_has_pending = true;
        }
    }

    std::vector<VCard> finish() {
        finish_pending();
        return std::move(m_cards);
    }

private:
    // vCard 2.1 writers put base64 lines and quoted-printable soft breaks on lines of their own.
    bool continues_pending(const std::string& text) const {
        if (text.empty()) return false;
        if (m_pending.quoted_printable) return !m_pending.value.empty() && m_pending.value.back() == '=';
        return m_pending.name == "PHOTO" && m_pending.base64 && text.find(':') == std::string::npos;
    }

    void finish_pending() {
        if (!m_has_pending) return;
        m_has_pending = false;
        Property& p = m_pending;
        if (p.name == "FN") {
            m_card.formatted_name = text_value(p, unescape(p.value));
        } else if (p.name == "N") {
            const std::vector<std::string> parts = components(p.value);
            std::string given = parts.size() > 1 ? parts[1] : std::string();
            const std::string& family = parts[0];
            if (!given.empty() && !family.empty()) given += ' ';
            m_given_name = text_value(p, given + family);
        } else if (p.name == "TEL") {
            if (m_card.phones.size() < max_phones_per_card) m_card.phones.push_back(text_value(p, p.value));
        } else if (p.name == "PHOTO") {
            m_card.has_photo = true;
            if (m_keep_photo_of == static_cast<long>(m_cards.size())) {
                m_card.photo_parameters = std::move(p.parameters);
                m_card.photo_value = std::move(p.value);
                m_card.photo_overflowed = p.overflowed;
            }
        }
    }

    long m_keep_photo_of;
    std::vector<VCard> m_cards;
    VCard m_card;
    std::u16string m_given_name;
    bool m_in_card = false;
    Property m_pending;
    bool m_has_pending = false;
};

}  // namespace

std::vector<VCard> read(const ByteSource& source, long keep_photo_of) {
    LineReader lines(source);
    CardBuilder builder(keep_photo_of);
    std::string line;
    bool overflowed = false;
    while (lines.next(line, overflowed)) builder.line(line, overflowed);
    return builder.finish();
}

std::vector<VCard> read_text(std::string_view bytes, long keep_photo_of) {
    size_t position = 0;
    return read(
        [&](char* buffer, size_t size) {
            const size_t n = std::min(size, bytes.size() - position);
            std::copy_n(bytes.data() + position, n, buffer);
            position += n;
            return n;
        },
        keep_photo_of);
}

bool read_file(const std::string& path, std::vector<VCard>& cards, long keep_photo_of) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) return false;
    cards = read([&](char* buffer, size_t size) { return std::fread(buffer, 1, size, file.get()); }, keep_photo_of);
    return true;
}

std::vector<uint8_t> photo_bytes(const VCard& card, size_t max_bytes) {
    if (!card.has_photo || card.photo_overflowed) return {};
    std::string_view value = card.photo_value;
    bool base64 = false;
    if (starts_with_ignoring_case(value, "data:")) {
        const size_t comma = value.find(',');
        if (comma == std::string_view::npos) return {};
        base64 = upper_text(value.substr(0, comma)).find(";BASE64") != std::string::npos;
        value = value.substr(comma + 1);
    } else {
        Property probe;
        parse_property("PHOTO" + card.photo_parameters + ":", false, probe);
        base64 = probe.base64;
    }
    if (!base64) return {};
    auto bytes = decode_base64(value, max_bytes);
    return bytes ? std::move(*bytes) : std::vector<uint8_t>();
}

}  // namespace vcard

#include "lang/key_value_file.h"

#include <unicode/uchar.h>

#include <set>

#include "os/file.h"
#include "os/log.h"
#include "os/text.h"

namespace lang {

namespace {

bool is_line_end(char16_t c) { return c == u'\r' || c == u'\n'; }

std::u16string join_problems(const std::vector<std::u16string>& problems) {
    std::u16string text;
    for (const std::u16string& problem : problems) {
        if (!text.empty()) text += u"; ";
        text += problem;
    }
    return text;
}

}  // namespace

bool is_key_value_space(char16_t c) { return u_isspace(c) != 0; }

DecodedText decode_key_value_bytes(std::string_view bytes) {
    DecodedText out;
    auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() > kMaxKeyValueFileBytes) {
        out.problems.push_back(u"larger than " + os::to_text(static_cast<long long>(kMaxKeyValueFileBytes)) +
                               u" bytes, refused");
        return out;
    }
    if (bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE) {
        out.encoding = TextEncoding::Utf16;
        const size_t units = (bytes.size() - 2) / 2;
        out.text.reserve(units);
        for (size_t i = 0; i < units; ++i) {
            out.text += static_cast<char16_t>(byte(2 + 2 * i) | byte(3 + 2 * i) << 8);
        }
        if ((bytes.size() - 2) % 2 != 0) out.problems.push_back(u"truncated in the middle of a character");
        out.ok = true;
        return out;
    }
    if (bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF) {
        out.problems.push_back(u"UTF-16 big-endian, refused (save it as UTF-16LE)");
        return out;
    }
    if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
        out.encoding = TextEncoding::Utf8;
        out.text = os::from_utf8(bytes.substr(3));
        out.ok = true;
        return out;
    }
    // Text never holds a zero byte; zeros between letters are UTF-16 that lost its mark, and
    // reading it byte by byte would give a table of one-letter keys.
    if (bytes.find('\0') != std::string_view::npos) {
        out.problems.push_back(u"holds zero bytes (UTF-16 without byte-order mark?), refused");
        return out;
    }
    out.encoding = TextEncoding::EightBit;
    out.text.reserve(bytes.size());
    bool wide = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        out.text += static_cast<char16_t>(byte(i));
        wide = wide || byte(i) >= 0x80;
    }
    if (wide) out.problems.push_back(u"8-bit text with non-ASCII bytes (other scripts need UTF-16LE)");
    out.ok = true;
    return out;
}

ParseResult parse_key_values(std::u16string_view text) {
    ParseResult out;
    std::set<std::u16string> seen_twice;
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        while (i < n && is_key_value_space(text[i])) ++i;
        if (i >= n) break;
        const size_t key_start = i;
        while (i < n && !is_key_value_space(text[i]) && text[i] != u'=') ++i;
        const std::u16string_view key = text.substr(key_start, i - key_start);
        if (i < n && text[i] == u'=') {
            ++i;
        } else {
            while (i < n && is_key_value_space(text[i]) && !is_line_end(text[i])) ++i;
        }
        const size_t value_start = i;
        while (i < n && !is_line_end(text[i])) ++i;
        const std::u16string_view value = text.substr(value_start, i - value_start);
        if (key.empty()) continue;
        if (key.size() > kMaxEntryLength || value.size() > kMaxEntryLength) {
            ++out.skipped;
            continue;
        }
        auto [it, inserted] = out.entries.insert_or_assign(std::u16string(key), std::u16string(value));
        if (!inserted && seen_twice.insert(it->first).second) out.duplicates.push_back(it->first);
    }
    return out;
}

KeyValueFile read_key_value_file(std::u16string_view path) {
    KeyValueFile out;
    os::File file(path, os::File::Read);
    if (!file.is_open()) return out;
    const int64_t size = file.size();
    DecodedText decoded;
    if (size < 0) {
        decoded.problems.push_back(u"size unknown, refused");
    } else if (static_cast<uint64_t>(size) > kMaxKeyValueFileBytes) {
        // Not read at all: the limit exists so that a huge file costs nothing.
        decoded.problems.push_back(u"larger than " + os::to_text(static_cast<long long>(kMaxKeyValueFileBytes)) +
                                   u" bytes, refused");
    } else {
        std::string bytes(static_cast<size_t>(size), '\0');
        bytes.resize(file.read(bytes.data(), bytes.size()));
        decoded = decode_key_value_bytes(bytes);
    }
    out.encoding = decoded.encoding;
    out.problems = std::move(decoded.problems);
    if (decoded.ok) {
        ParseResult parsed = parse_key_values(decoded.text);
        out.opened = true;
        out.entries = std::move(parsed.entries);
        out.duplicates = std::move(parsed.duplicates);
        if (parsed.skipped > 0) {
            out.problems.push_back(os::to_text(static_cast<long long>(parsed.skipped)) + u" entries longer than " +
                                   os::to_text(static_cast<long long>(kMaxEntryLength)) + u" characters skipped");
        }
    }
    if (!out.problems.empty()) os::log() << u"key-value file " << path << u": " << join_problems(out.problems) << u"\n";
    return out;
}

}  // namespace lang

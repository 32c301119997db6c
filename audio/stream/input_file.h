#pragma once
// Read-only file access for the stream readers, over os::File. Every reader owns one and asks it for the file size
// before it trusts any size written inside the file, so a header that claims gigabytes never turns
// into an allocation larger than the file itself.
#include <cstddef>
#include <cstdint>
#include <string>

#include "os/file.h"

class InputFile {
public:
    InputFile() = default;
    explicit InputFile(const std::u16string& path) { open(path); }
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool open(const std::u16string& path);
    void close();
    bool is_open() const { return m_file.is_open(); }

    // Reads up to n bytes at the current position; returns the number read (0 at the end or on error).
    std::size_t read(void* buffer, std::size_t n);
    // Absolute position; false when the file is not open or the position is negative.
    bool seek(std::int64_t position);
    bool skip(std::int64_t delta) { return seek(m_position + delta); }
    std::int64_t position() const { return m_position; }
    std::int64_t size() const { return m_size; }
    // errno of the last failed operation, for log lines.
    int last_error() const { return m_last_error; }

    // The underlying file, for parsers written against os::File; call sync() after using it.
    os::File& os_file() { return m_file; }
    void sync() { m_position = m_file.tell(); }

private:
    os::File m_file;
    std::int64_t m_position = 0;
    std::int64_t m_size = 0;
    int m_last_error = 0;
};

#include "audio/stream/container_magic.h"

#include <cstring>

#include "audio/stream/input_file.h"

Container container_of_bytes(const std::uint8_t* bytes, std::size_t size) {
    if (size == 0) return Container::Empty;
    const auto starts = [&](std::size_t at, const char* magic) {
        const std::size_t n = std::strlen(magic);
        return size >= at + n && std::memcmp(bytes + at, magic, n) == 0;
    };
    if ((starts(0, "RIFF") || starts(0, "RF64")) && starts(8, "WAVE")) return Container::Wave;
    if (starts(0, "OggS")) return Container::Ogg;
    if (starts(0, "MPCK") || starts(0, "MP+")) return Container::Musepack;
    return Container::Other;
}

Container container_of_file(const std::u16string& path, bool* readable) {
    InputFile file;
    if (readable) *readable = false;
    if (!file.open(path)) return Container::Other;
    std::uint8_t head[12] = {};
    const std::size_t got = file.read(head, sizeof head);
    if (readable) *readable = got == sizeof head || static_cast<std::int64_t>(got) == file.size();
    return container_of_bytes(head, got);
}

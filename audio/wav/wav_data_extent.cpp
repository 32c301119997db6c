#include "audio/wav/wav_data_extent.h"

#include <algorithm>

#include "os/file.h"

namespace {

bool is_chunk_id(const uint8_t* id) {
    return std::all_of(id, id + 4, [](uint8_t c) { return c >= 0x20 && c <= 0x7E; }) &&
           !std::all_of(id, id + 4, [](uint8_t c) { return c == ' '; });
}

// True when whole chunks lie back to back from `at` to the end of the file (the last one may lack
// its pad byte).
bool chunks_fill_to_end(os::File& file, int64_t at, int64_t size) {
    if (at + 8 > size) return false;
    int chunks = 0;
    while (at + 8 <= size && chunks < 64) {
        uint8_t header[8] = {};
        if (!file.seek(at) || file.read(header, 8) != 8 || !is_chunk_id(header)) return false;
        const uint32_t length = uint32_t(header[4]) | (uint32_t(header[5]) << 8) | (uint32_t(header[6]) << 16) |
                                (uint32_t(header[7]) << 24);
        at += 8 + int64_t(length);
        ++chunks;
        if (at == size) return true;
        at += length & 1;
    }
    return at == size;
}

}  // namespace

int64_t chunks_after_data(os::File& file, uint32_t data_start, uint32_t data_size) {
    const int64_t back = file.tell();
    const int64_t size = file.size();
    const int64_t end = int64_t(data_start) + data_size + (data_size & 1);
    const bool follow = end < size && chunks_fill_to_end(file, end, size);
    file.seek(back);
    return follow ? end : -1;
}

uint32_t data_size_in_file(os::File& file, uint32_t data_start, uint32_t declared) {
    const int64_t size = file.size();
    if (size < 0 || size <= int64_t(data_start)) return declared;
    const int64_t end = int64_t(data_start) + declared;
    if (end == size || end + 1 == size) return declared;
    if (chunks_after_data(file, data_start, declared) >= 0) return declared;
    return static_cast<uint32_t>(std::min<int64_t>(size - data_start, 0xFFFFFFFFll - data_start));
}

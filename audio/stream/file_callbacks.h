#pragma once
// Seek origins shared by the decoder libraries' file callbacks: 0 absolute, 1 from the current
// position, 2 from the end.
#include <cstdint>

#include "audio/stream/input_file.h"

inline bool seek_from_origin(InputFile& file, std::int64_t offset, int origin) {
    switch (origin) {
        case 0:
            return file.seek(offset);
        case 1:
            return file.seek(file.position() + offset);
        case 2:
            return file.seek(file.size() + offset);
        default:
            return false;
    }
}

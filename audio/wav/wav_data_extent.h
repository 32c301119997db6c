#pragma once
// How far a WAV's data chunk really reaches. A writer killed before it wrote its sizes leaves the
// data chunk under-counted (its size still 0, say) with the audio after it, and a cut-short file
// holds less than its header says. Where the data chunk is the file's last chunk, the audio runs to
// the end of the file, as other players take it; where other chunks follow it (a LIST chunk with
// the title, for instance) its size field is right.
#include <cstdint>

namespace os {
class File;
}

// The data size to use for a data chunk that starts at data_start and says `declared`. Leaves the
// file position where it was.
uint32_t data_size_in_file(os::File& file, uint32_t data_start, uint32_t declared);

// Where the chunks after the data chunk begin (the even position after the data), or -1 when the
// data chunk is the last. Leaves the file position where it was.
int64_t chunks_after_data(os::File& file, uint32_t data_start, uint32_t data_size);

#pragma once
// Puts right what a recording killed mid-way (the process killed, the power gone) leaves in its
// file. The headers of a recording say what they said when they were last written: an MP3's first
// frame is still the empty place of its info frame, a WAV's sizes lag behind its data. Repairing
// makes them tell the audio that is really there, cuts a frame or block the kill left half-written,
// and puts back the bytes the writer had taken off the end (an ID3v1 tag, the chunks after a WAV's
// data). A file that never got any audio is removed.
#include <cstdint>
#include <string>
#include <vector>

enum class RepairResult {
    Untouched,  // the headers already told the truth
    Repaired,
    Removed,  // no audio at all: a tag or a header, nothing else
    Failed,   // unreadable, or not of the codec
};

// codec: "mp3", "PCM", "ADPCM" or "GSM". tail: what the file's end held before the writer took it
// off (empty when it took nothing).
RepairResult repair_recording(const std::u16string& path, std::u16string_view codec, const std::vector<uint8_t>& tail);

// What an append to the file takes off its end until it closes: an MP3's ID3v1 tag, the chunks
// after a WAV's data. Empty when it takes nothing.
std::vector<uint8_t> bytes_taken_by_append(const std::u16string& path, std::u16string_view codec);

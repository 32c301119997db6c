#pragma once
// What the first frame of an MPEG audio stream may say about the whole stream: a Xing / Info or
// VBRI frame carries the frame count, the byte count and a seek table; LAME's extension behind an
// Info frame adds the encoder delay and the end padding. Such a frame holds no audio of its own.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/mp3/mp3_frame_header.h"

struct Mp3StreamHeader {
    // One point of the seek table: the audio frame (counted from the first frame after this one)
    // that starts at this many bytes from the start of this frame.
    struct SeekPoint {
        std::int64_t frame = 0;
        std::int64_t byte = 0;
    };

    bool present = false;
    // Audio frames after this one; 0 when the frame does not say.
    std::int64_t frames = 0;
    // Bytes of the stream from this frame's start to the end of the audio; 0 when not said.
    std::int64_t bytes = 0;
    // Samples the encoder put before the signal and after its end; both 0 without LAME's extension.
    int delay = 0;
    int padding = 0;
    bool has_gapless = false;
    // Ascending in both fields; empty when the frame has no usable table.
    std::vector<SeekPoint> seek_table;
};

// Reads a Xing / Info or VBRI frame; present is false for an ordinary audio frame. `frame` holds
// the whole frame whose header is `header`.
Mp3StreamHeader parse_stream_header(const std::uint8_t* frame, std::size_t size, const Mp3FrameHeader& header);

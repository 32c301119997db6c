#pragma once
// What a file's first bytes say it is. A file that names a container is only ever handed to that
// container's readers: PCM samples searched for MPEG frame headers will sooner or later "find" two
// in a row and play as noise.
#include <cstddef>
#include <cstdint>
#include <string>

enum class Container {
    Empty,     // no bytes at all
    Wave,      // "RIFF"/"RF64" ... "WAVE"
    Ogg,       // "OggS"
    Musepack,  // "MP+" (stream version 7) or "MPCK" (version 8)
    Other,     // anything else: MPEG audio with or without an ID3v2 tag, or no audio at all
};

// From the first bytes of a file (fewer than 12 when the file is shorter).
Container container_of_bytes(const std::uint8_t* bytes, std::size_t size);
// Reads the first bytes of the file; Other when it cannot be read (the readers then report it).
Container container_of_file(const std::u16string& path, bool* readable = nullptr);

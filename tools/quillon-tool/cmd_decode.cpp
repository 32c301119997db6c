// quillon-tool decode FILE OUT.wav [--start SECONDS]: plays a recording into a PCM WAV file through
// the reader factory and the same pulls the player makes (16,384 frames at a time), ending where
// the player would: at the first empty block or the first change of format.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/readers/file_reader.h"
#include "os/file.h"
#include "os/text.h"
#include "tools/quillon-tool/command.h"

namespace {

constexpr int frames_per_pull = 16384;

void put16(std::vector<std::uint8_t>& out, unsigned value) {
    out.push_back(value & 0xFF);
    out.push_back((value >> 8) & 0xFF);
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

std::vector<std::uint8_t> wav_header(const AudioFormat& format, std::uint32_t data_size) {
    std::vector<std::uint8_t> out;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(out, 36 + data_size);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put16(out, 1);
    put16(out, static_cast<unsigned>(format.channels));
    put32(out, static_cast<std::uint32_t>(format.rate));
    put32(out, static_cast<std::uint32_t>(format.byte_rate()));
    put16(out, static_cast<unsigned>(format.block_align()));
    put16(out, static_cast<unsigned>(format.bits));
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, data_size);
    return out;
}

int run_decode(const std::vector<std::string>& args) {
    double start = 0.0;
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--start" && i + 1 < args.size()) {
            char* end = nullptr;
            start = std::strtod(args[++i].c_str(), &end);
            if (end == args[i].c_str() || *end != 0 || start < 0) return fail("--start takes seconds, not " + args[i]);
        } else {
            paths.push_back(args[i]);
        }
    }
    if (paths.size() != 2) return fail("usage: quillon-tool decode FILE OUT.wav [--start SECONDS]");

    FileReader::Refusal refusal = FileReader::Refusal::None;
    std::unique_ptr<FileReader> reader = FileReader::open(os::from_utf8(paths[0]), &refusal);
    if (!reader) return fail(paths[0] + ": " + FileReader::describe(refusal));
    const StreamInfo& info = reader->info();
    if (start > 0 && start >= info.duration()) {
        char text[96];
        std::snprintf(text, sizeof text, ": --start %.3f lies past the end (%.3f s long)", start, info.duration());
        return fail(paths[0] + text);
    }
    if (start > 0 && !reader->seek(info.position_of_time(start))) return fail(paths[0] + ": cannot seek");

    os::File out(os::from_utf8(paths[1]), os::File::Write);
    if (!out.is_open()) return fail(paths[1] + ": cannot be created");
    AudioFormat format;
    std::uint64_t data_size = 0;
    std::vector<std::uint8_t> header = wav_header(format, 0);
    if (out.write(header.data(), header.size()) != header.size()) return fail(paths[1] + ": write failed");
    for (;;) {
        AudioBlock block = reader->output().get_data(frames_per_pull);
        if (block.is_empty()) break;
        if (format.is_empty()) format = block.format();
        if (block.format() != format) break;
        if (out.write(block.data(), block.length()) != block.length()) return fail(paths[1] + ": write failed");
        data_size += block.length();
    }
    // A stream with no frames still has a format: the output says which, with no samples.
    if (format.is_empty()) format = AudioFormat{info.channels(), info.bits(), info.rate()};
    if (format.channels <= 0 || format.bits <= 0 || format.rate <= 0) return fail(paths[0] + ": no audio format");
    if (data_size > 0xFFFFFFFFull - 36) return fail(paths[1] + ": too long for a WAV file");
    if (!reader->info().is_valid()) return fail(paths[0] + ": read error");
    header = wav_header(format, static_cast<std::uint32_t>(data_size));
    if (!out.seek(0) || out.write(header.data(), header.size()) != header.size())
        return fail(paths[1] + ": write failed");
    return 0;
}

const ToolCommand command{"decode", "FILE OUT.wav [--start SECONDS]",
                          "play a recording through the reader chain into a PCM WAV file", &run_decode};

}  // namespace

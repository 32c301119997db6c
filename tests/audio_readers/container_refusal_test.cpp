// Files whose first bytes name a container go only to that container's readers, and files with
// nothing to play are refused or give an empty stream, never noise or a format of 0 channels.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "audio/readers/file_reader.h"
#include "audio/stream/container_magic.h"
#include "os/text.h"
#include "tests/audio_readers/fixtures.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string file_with(const std::string& name, const Bytes& bytes) {
    const std::string path = fixtures::path_in_scratch(name);
    fixtures::write_file(path, bytes);
    return path;
}

void put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Two MPEG-1 Layer III frame headers (128 kbit/s, 44.1 kHz: 417 bytes a frame) one frame apart,
// in otherwise quiet bytes: exactly what a byte-wise frame-sync scan takes for an MP3 stream.
Bytes bytes_that_look_like_mp3(std::size_t size) {
    Bytes body(size, 0x11);
    for (std::size_t at = 100; at + 4 <= size; at += 417) {
        body[at] = 0xFF;
        body[at + 1] = 0xFB;
        body[at + 2] = 0x90;
        body[at + 3] = 0x00;
    }
    return body;
}

// A RIFF/WAVE file with a format tag no reader of ours decodes (0x11, IMA ADPCM).
Bytes wave_of_unknown_codec() {
    Bytes out = {'R', 'I', 'F',  'F',  0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16,  0,   0, 0, 0x11, 0,
                 1,   0,   0x40, 0x1F, 0, 0, 0, 0, 0,   0,   0,   1,   4,   0,   'd', 'a', 't', 'a', 0, 0, 0,    0};
    const Bytes body = bytes_that_look_like_mp3(8000);
    put32(out, 40, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    put32(out, 4, static_cast<std::uint32_t>(out.size() - 8));
    return out;
}

Bytes with_magic(const std::string& magic, std::size_t size) {
    Bytes out(magic.begin(), magic.end());
    const Bytes body = bytes_that_look_like_mp3(size);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

// Runs quillon-tool; returns its exit status and puts its standard error and output in *text.
int tool(const std::string& arguments, std::string* text = nullptr) {
    const std::string command = std::string(QUILLON_BIN_DIR) + "/quillon-tool " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    std::string out;
    char buffer[1024];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int status = pclose(pipe);
    if (text) *text = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The format fields and data size of a canonical 44-byte PCM WAV header.
struct WavFacts {
    bool canonical = false;
    int channels = 0, rate = 0, bits = 0;
    std::uint32_t data_size = 0;
};

WavFacts facts_of(const std::string& path) {
    const Bytes bytes = fixtures::read_file(path);
    WavFacts facts;
    if (bytes.size() < 44) return facts;
    const auto u16 = [&](std::size_t at) { return bytes[at] | (bytes[at + 1] << 8); };
    const auto u32 = [&](std::size_t at) { return static_cast<std::uint32_t>(u16(at) | (u16(at + 2) << 16)); };
    facts.canonical = std::string(bytes.begin(), bytes.begin() + 4) == "RIFF" && u32(40) == bytes.size() - 44 &&
                      u32(4) == bytes.size() - 8;
    facts.channels = u16(22);
    facts.rate = static_cast<int>(u32(24));
    facts.bits = u16(34);
    facts.data_size = u32(40);
    return facts;
}

}  // namespace

TEST(ContainerMagic, FirstBytesNameTheContainer) {
    const auto of = [](const std::string& text) {
        return container_of_bytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    };
    EXPECT_EQ(of(""), Container::Empty);
    EXPECT_EQ(of(std::string("RIFF\0\0\0\0WAVE", 12)), Container::Wave);
    EXPECT_EQ(of(std::string("RF64\xff\xff\xff\xffWAVE", 12)), Container::Wave);
    EXPECT_EQ(of(std::string("RIFF\0\0\0\0AVI ", 12)), Container::Other);
    EXPECT_EQ(of("OggS"), Container::Ogg);
    EXPECT_EQ(of("MP+\x07"), Container::Musepack);
    EXPECT_EQ(of("MPCK"), Container::Musepack);
    EXPECT_EQ(of("ID3\x03"), Container::Other);
    EXPECT_EQ(of("RIF"), Container::Other);
}

TEST(ContainerMagic, NamedContainersNeverFallThroughToTheMp3Reader) {
    // The same bytes without magic do pass the frame-sync scan: the guard below is what refuses them.
    FileReader::Refusal refusal = FileReader::Refusal::None;
    EXPECT_TRUE(FileReader::open(os::from_utf8(file_with("plain.bin", bytes_that_look_like_mp3(8000))), &refusal));

    const struct {
        std::string name;
        Bytes bytes;
        FileReader::Refusal expected;
    } cases[] = {
        {"ima.wav", wave_of_unknown_codec(), FileReader::Refusal::UnsupportedWave},
        {"ima.mp3", wave_of_unknown_codec(), FileReader::Refusal::UnsupportedWave},
        {"broken.ogg", with_magic("OggS", 8000), FileReader::Refusal::UnsupportedOgg},
        {"broken.mpc", with_magic("MP+\x05", 8000), FileReader::Refusal::UnsupportedMusepack},
        {"broken8.mpc", with_magic("MPCK", 8000), FileReader::Refusal::UnsupportedMusepack},
    };
    for (const auto& c : cases) {
        const std::string path = file_with(c.name, c.bytes);
        EXPECT_FALSE(FileReader::open(os::from_utf8(path), &refusal)) << c.name;
        EXPECT_EQ(refusal, c.expected) << c.name;
        std::string text;
        EXPECT_EQ(tool("info " + path, &text), 1) << c.name;
        EXPECT_NE(text.find(FileReader::describe(c.expected)), std::string::npos) << text;
        EXPECT_EQ(tool("decode " + path + " " + fixtures::path_in_scratch("out.wav")), 1) << c.name;
    }
}

TEST(EmptyFiles, ZeroBytesAreRefusedWhateverTheName) {
    for (const std::string name : {"empty.wav", "empty.mp3", "empty.ogg", "empty.mpc", "empty"}) {
        const std::string path = file_with(name, {});
        FileReader::Refusal refusal = FileReader::Refusal::None;
        EXPECT_FALSE(FileReader::open(os::from_utf8(path), &refusal)) << name;
        EXPECT_EQ(refusal, FileReader::Refusal::EmptyFile) << name;
        std::string text;
        EXPECT_EQ(tool("info " + path, &text), 1) << name;
        EXPECT_NE(text.find("the file is empty"), std::string::npos) << text;
        EXPECT_EQ(tool("decode " + path + " " + fixtures::path_in_scratch("out.wav")), 1) << name;
    }
    FileReader::Refusal refusal = FileReader::Refusal::None;
    EXPECT_FALSE(FileReader::open(os::from_utf8(fixtures::path_in_scratch("missing.wav")), &refusal));
    EXPECT_EQ(refusal, FileReader::Refusal::CannotOpen);
}

TEST(EmptyFiles, StreamsWithoutFramesDecodeToAnEmptyWavOfTheirFormat) {
    // A header with no data, and one whose data is cut inside its first sample frame.
    Bytes no_data = fixtures::pcm_wav({}, 2, 22050);
    Bytes cut = fixtures::pcm_wav({1000, -1000, 2000, -2000}, 2, 22050);
    cut.resize(44 + 3);
    for (const auto& [name, bytes] : {std::pair{"no_data.wav", no_data}, std::pair{"cut.wav", cut}}) {
        const std::string path = file_with(name, bytes);
        auto reader = FileReader::open(os::from_utf8(path));
        ASSERT_TRUE(reader) << name;
        EXPECT_EQ(reader->info().length(), 0) << name;
        const std::string out = fixtures::path_in_scratch(std::string("decoded_") + name);
        ASSERT_EQ(tool("decode " + path + " " + out), 0) << name;
        const WavFacts facts = facts_of(out);
        EXPECT_TRUE(facts.canonical) << name;
        EXPECT_EQ(facts.channels, 2) << name;
        EXPECT_EQ(facts.rate, 22050) << name;
        EXPECT_EQ(facts.bits, 16) << name;
        EXPECT_EQ(facts.data_size, 0u) << name;
    }
    if (fixtures::has_program("oggenc")) {
        // oggenc writes only the three header packets for a WAV without samples.
        const std::string wav = file_with("silence0.wav", fixtures::pcm_wav({}, 1, 16000));
        const std::string ogg = fixtures::path_in_scratch("headers_only.ogg");
        ASSERT_TRUE(fixtures::run("oggenc -Q -o " + ogg + " " + wav));
        auto reader = FileReader::open(os::from_utf8(ogg));
        ASSERT_TRUE(reader);
        EXPECT_EQ(reader->info().length(), 0);
        const std::string out = fixtures::path_in_scratch("decoded_headers_only.wav");
        ASSERT_EQ(tool("decode " + ogg + " " + out), 0);
        const WavFacts facts = facts_of(out);
        EXPECT_TRUE(facts.canonical);
        EXPECT_EQ(facts.channels, 1);
        EXPECT_EQ(facts.rate, 16000);
        EXPECT_EQ(facts.data_size, 0u);
    }
}

TEST(EmptyFiles, StartPastTheEndIsAnError) {
    const std::string path =
        file_with("one_second.wav", fixtures::pcm_wav(fixtures::test_signal(1, 8000, 1.0), 1, 8000));
    std::string text;
    EXPECT_EQ(tool("decode " + path + " " + fixtures::path_in_scratch("late.wav") + " --start 5", &text), 1);
    EXPECT_NE(text.find("past the end"), std::string::npos) << text;
    EXPECT_EQ(tool("decode " + path + " " + fixtures::path_in_scratch("half.wav") + " --start 0.5"), 0);
    EXPECT_EQ(facts_of(fixtures::path_in_scratch("half.wav")).data_size, 8000u);
}

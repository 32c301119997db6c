// WAV files as field recorders, editors, telephone systems, sox and ffmpeg write them: each plays,
// and what is converted for the player is what sox converts (without dither), sample for sample.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "audio/readers/file_reader.h"
#include "audio/wav/wav_reader_pcm.h"
#include "audio/wav/wav_sample_conversion.h"
#include "os/text.h"
#include "tests/audio_readers/fixtures.h"
#include "tests/audio_readers/pull.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Samples = std::vector<std::int16_t>;

void append(Bytes& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }
void append16(Bytes& out, unsigned value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}
void append32(Bytes& out, std::uint32_t value) {
    append16(out, value & 0xFFFF);
    append16(out, value >> 16);
}
void append_chunk(Bytes& out, const std::string& id, const Bytes& body) {
    append(out, id);
    append32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2 == 1) out.push_back(0);
}

// The 16-byte common part of a fmt chunk.
Bytes fmt_body(unsigned tag, unsigned channels, std::uint32_t rate, unsigned bits) {
    Bytes body;
    append16(body, tag);
    append16(body, channels);
    append32(body, rate);
    append32(body, rate * channels * bits / 8);
    append16(body, channels * bits / 8);
    append16(body, bits);
    return body;
}

Bytes extensible_fmt_body(unsigned sub_tag, unsigned channels, std::uint32_t rate, unsigned bits) {
    Bytes body = fmt_body(0xFFFE, channels, rate, bits);
    append16(body, 22);
    append16(body, bits);
    append32(body, channels == 2 ? 3 : 4);
    append16(body, sub_tag);
    const std::uint8_t tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    body.insert(body.end(), tail, tail + 14);
    return body;
}

Bytes sample_bytes(const Samples& samples) {
    Bytes data(samples.size() * 2);
    std::memcpy(data.data(), samples.data(), data.size());
    return data;
}

Bytes riff(const std::vector<std::pair<std::string, Bytes>>& chunks) {
    Bytes out;
    append(out, "RIFF");
    append32(out, 0);
    append(out, "WAVE");
    for (const auto& [id, body] : chunks) append_chunk(out, id, body);
    const std::uint32_t size = static_cast<std::uint32_t>(out.size() - 8);
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<std::uint8_t>(size >> (8 * i));
    return out;
}

std::string file_with(const std::string& name, const Bytes& bytes) {
    const std::string path = fixtures::path_in_scratch(name);
    fixtures::write_file(path, bytes);
    return path;
}

struct Played {
    bool opened = false;
    std::u16string codec;
    AudioFormat format;
    double duration = 0;
    Samples samples;
};

Played play(const std::string& path) {
    Played played;
    auto reader = FileReader::open(os::from_utf8(path));
    if (!reader) return played;
    played.opened = true;
    played.codec = reader->codec();
    played.duration = reader->info().duration();
    played.format = AudioFormat{reader->info().channels(), reader->info().bits(), reader->info().rate()};
    AudioFormat pulled;
    played.samples = pull_all(*reader, 16384, &pulled);
    if (!played.samples.empty()) {
        EXPECT_EQ(pulled, played.format) << path;
    }
    return played;
}

// sox's 16-bit reading of a file, without dither.
Samples sox_16(const std::string& path) {
    const std::string out = path + ".sox16.wav";
    if (!fixtures::run("sox -D '" + path + "' -b 16 -e signed-integer '" + out + "'")) return {};
    return fixtures::wav_samples(out);
}

int first_difference(const Samples& a, const Samples& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) return static_cast<int>(i);
    }
    return a.size() == b.size() ? -1 : static_cast<int>(n);
}

}  // namespace

TEST(WavVariants, ChunksBeforeFmtAndExtensibleSixteenBit) {
    const Samples samples = fixtures::test_signal(2, 22050, 0.5);
    Bytes bext(602, 0);
    std::memcpy(bext.data(), "A field recorder's take", 23);
    Bytes list;
    append(list, "INFO");
    append_chunk(list, "INAM", Bytes{'T', 'a', 'k', 'e', ' ', '1', 0});
    const std::string broadcast = file_with("broadcast.wav", riff({{"JUNK", Bytes(28, 0)},
                                                                   {"bext", bext},
                                                                   {"LIST", list},
                                                                   {"fmt ", fmt_body(1, 2, 22050, 16)},
                                                                   {"data", sample_bytes(samples)}}));
    const std::string extensible = file_with(
        "extensible16.wav", riff({{"fmt ", extensible_fmt_body(1, 2, 22050, 16)}, {"data", sample_bytes(samples)}}));
    for (const std::string& path : {broadcast, extensible}) {
        const Played played = play(path);
        ASSERT_TRUE(played.opened) << path;
        EXPECT_EQ(played.codec, u"PCM");
        EXPECT_EQ(played.format, (AudioFormat{2, 16, 22050}));
        EXPECT_DOUBLE_EQ(played.duration, 0.5);
        EXPECT_EQ(first_difference(played.samples, samples), -1) << path;
        if (fixtures::has_program("sox")) {
            EXPECT_EQ(first_difference(played.samples, sox_16(path)), -1) << path;
        }
    }
}

TEST(WavVariants, WideIntegerAndFloatSamplesConvertAsSoxDoes) {
    if (!fixtures::has_program("sox") || !fixtures::has_program("ffmpeg")) GTEST_SKIP() << "sox or ffmpeg missing";
    const std::string source =
        file_with("source16.wav", fixtures::pcm_wav(fixtures::test_signal(2, 44100, 1.0), 2, 44100));
    // "vol 0.7" leaves bits below the 16th, so rounding matters.
    const struct {
        std::string name;
        std::string command;
    } cases[] = {
        {"s24.wav", "sox -D SRC -b 24 -e signed-integer OUT vol 0.7"},
        {"s32.wav", "sox -D SRC -b 32 -e signed-integer OUT vol 0.7"},
        {"f32.wav", "sox -D SRC -b 32 -e floating-point OUT vol 0.7"},
        {"f64.wav", "sox -D SRC -b 64 -e floating-point OUT vol 0.7"},
        {"ffmpeg_s24.wav", "ffmpeg -v error -y -i SRC -af volume=0.7 -c:a pcm_s24le OUT"},
        {"ffmpeg_f32.wav", "ffmpeg -v error -y -i SRC -af volume=0.7 -c:a pcm_f32le OUT"},
        {"ffmpeg_rf64.wav", "ffmpeg -v error -y -i SRC -c:a pcm_s16le -rf64 always OUT"},
    };
    for (const auto& c : cases) {
        const std::string out = fixtures::path_in_scratch(c.name);
        std::string command = c.command;
        command.replace(command.find("SRC"), 3, source);
        command.replace(command.find("OUT"), 3, out);
        ASSERT_TRUE(fixtures::run(command)) << command;
        const Played played = play(out);
        ASSERT_TRUE(played.opened) << c.name;
        EXPECT_EQ(played.format, (AudioFormat{2, 16, 44100})) << c.name;
        EXPECT_NEAR(played.duration, 1.0, 1e-9) << c.name;
        ASSERT_EQ(played.samples.size(), 2u * 44100) << c.name;
        // sox 14.4 cannot read RF64: compare that one with its 16-bit source instead.
        const Samples expected = c.name == "ffmpeg_rf64.wav" ? fixtures::wav_samples(source) : sox_16(out);
        EXPECT_EQ(first_difference(played.samples, expected), -1) << c.name;
    }
}

TEST(WavVariants, TelephoneLawsDecodeAsSoxDoes) {
    if (!fixtures::has_program("sox")) GTEST_SKIP() << "sox missing";
    const std::string source =
        file_with("phone16.wav", fixtures::pcm_wav(fixtures::test_signal(1, 8000, 1.0), 1, 8000));
    for (const std::string encoding : {"u-law", "a-law"}) {
        const std::string out = fixtures::path_in_scratch(encoding + ".wav");
        ASSERT_TRUE(fixtures::run("sox -D " + source + " -e " + encoding + " " + out));
        const Played played = play(out);
        ASSERT_TRUE(played.opened) << encoding;
        EXPECT_EQ(played.format, (AudioFormat{1, 16, 8000}));
        EXPECT_EQ(played.samples.size(), 8000u);
        EXPECT_EQ(first_difference(played.samples, sox_16(out)), -1) << encoding;
    }
    // Every code word against sox's tables, through a file holding all 256 of them.
    for (const auto& [tag, encoding] : {std::pair{7u, "u-law"}, std::pair{6u, "a-law"}}) {
        Bytes codes(256);
        for (int i = 0; i < 256; ++i) codes[i] = static_cast<std::uint8_t>(i);
        const std::string path = file_with(std::string("all_") + encoding + ".wav",
                                           riff({{"fmt ", fmt_body(tag, 1, 8000, 8)}, {"data", codes}}));
        const Played played = play(path);
        ASSERT_TRUE(played.opened);
        EXPECT_EQ(first_difference(played.samples, sox_16(path)), -1) << encoding;
    }
}

TEST(WavVariants, MoreThanTwoChannelsAreMixedToStereo) {
    // Three channels: left, right, centre; the centre goes half into each side.
    Samples three = {1000, 2000, 3000, -4000, 0, -4000, 32767, 32767, 32767};
    const Played mixed = play(
        file_with("three.wav", riff({{"fmt ", extensible_fmt_body(1, 3, 48000, 16)}, {"data", sample_bytes(three)}})));
    ASSERT_TRUE(mixed.opened);
    EXPECT_EQ(mixed.format, (AudioFormat{2, 16, 48000}));
    EXPECT_EQ(mixed.samples, (Samples{2000, 2500, -4000, -2000, 32767, 32767}));

    if (!fixtures::has_program("ffmpeg")) return;
    const std::string source = file_with("mono.wav", fixtures::pcm_wav(fixtures::test_signal(1, 48000, 0.5), 1, 48000));
    const std::string six = fixtures::path_in_scratch("six.wav");
    ASSERT_TRUE(fixtures::run("ffmpeg -v error -y -i " + source + " -ac 6 -c:a pcm_s16le " + six));
    const Played played = play(six);
    ASSERT_TRUE(played.opened);
    EXPECT_EQ(played.format, (AudioFormat{2, 16, 48000}));
    EXPECT_DOUBLE_EQ(played.duration, 0.5);
    EXPECT_EQ(played.samples.size(), 2u * 24000);
}

TEST(WavVariants, FormatsThatCannotBePlayedAreRefusedAsWav) {
    // 12-bit samples in 2 bytes with a block align that disagrees, a 20-bit container, and data before fmt.
    const Samples samples(100, 0);
    const std::string odd_align = file_with("odd_align.wav", riff({{"fmt ",
                                                                    [] {
                                                                        Bytes b = fmt_body(1, 2, 8000, 16);
                                                                        b[12] = 3;
                                                                        return b;
                                                                    }()},
                                                                   {"data", sample_bytes(samples)}}));
    const std::string data_first =
        file_with("data_first.wav", riff({{"data", sample_bytes(samples)}, {"fmt ", fmt_body(1, 1, 8000, 16)}}));
    Bytes guid_body = extensible_fmt_body(1, 2, 8000, 16);
    guid_body[30] ^= 0xFF;  // not a WAVE sub-format
    const std::string foreign_guid =
        file_with("foreign_guid.wav", riff({{"fmt ", guid_body}, {"data", sample_bytes(samples)}}));
    for (const std::string& path : {odd_align, data_first, foreign_guid}) {
        FileReader::Refusal refusal = FileReader::Refusal::None;
        EXPECT_FALSE(FileReader::open(os::from_utf8(path), &refusal)) << path;
        EXPECT_EQ(refusal, FileReader::Refusal::UnsupportedWave) << path;
    }
}

TEST(WavVariants, RoundingToSixteenBits) {
    EXPECT_EQ(wav_samples::narrow(0x7FFF7FFF), 32767);
    EXPECT_EQ(wav_samples::narrow(0x7FFF8000), 32767);  // clipped, not wrapped
    EXPECT_EQ(wav_samples::narrow(INT32_MIN), -32768);
    EXPECT_EQ(wav_samples::narrow(0x00008000), 1);  // halves go up
    EXPECT_EQ(wav_samples::narrow(-0x00008000), 0);
    EXPECT_EQ(wav_samples::narrow(-0x00008001), -1);
    EXPECT_EQ(wav_samples::mulaw_to_linear(0x00), -32124);
    EXPECT_EQ(wav_samples::mulaw_to_linear(0xFF), 0);
    EXPECT_EQ(wav_samples::alaw_to_linear(0xD5), 8);
    EXPECT_EQ(wav_samples::alaw_to_linear(0x2A), -32256);
}

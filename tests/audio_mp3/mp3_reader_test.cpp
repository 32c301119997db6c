#include <gtest/gtest.h>

#include <cstdio>

#include "audio/mp3/file_reader_mp3.h"
#include "audio/mp3/mp3_frame_header.h"
#include "audio/readers/file_reader.h"
#include "os/text.h"
#include "tests/audio_readers/fixtures.h"
#include "tests/audio_readers/pull.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// MPEG-1 Layer III, 128 kbit/s, 44,100 Hz, joint stereo, no padding: 417-byte frames whose side
// information is all zeros, which decode as silence.
const Bytes frame_header = {0xFF, 0xFB, 0x90, 0x44};
constexpr int frame_bytes = 417;

Bytes frames(std::size_t total_bytes) {
    Bytes out;
    while (out.size() + frame_bytes <= total_bytes) {
        out.insert(out.end(), frame_header.begin(), frame_header.end());
        out.resize(out.size() + frame_bytes - 4, 0);
    }
    out.resize(total_bytes, 0);
    return out;
}

std::u16string file_with(const std::string& name, const Bytes& bytes) {
    const std::string path = fixtures::path_in_scratch(name);
    fixtures::write_file(path, bytes);
    return os::from_utf8(path);
}

}  // namespace

TEST(Mp3FrameHeader, LengthsFollowTheLayerAndVersion) {
    Mp3FrameHeader h;
    ASSERT_TRUE(h.parse(frame_header.data()));
    EXPECT_EQ(h.frame_bytes, 417);
    EXPECT_EQ(h.samples, 1152);
    EXPECT_EQ(h.channels, 2);
    const std::uint8_t padded_mono[4] = {0xFF, 0xFB, 0x92, 0xC4};
    ASSERT_TRUE(h.parse(padded_mono));
    EXPECT_EQ(h.frame_bytes, 418);
    EXPECT_EQ(h.channels, 1);
    // MPEG-2 Layer III, 64 kbit/s at 22,050 Hz: 576 samples in 72000 * 64 / 22050 bytes.
    const std::uint8_t mpeg2[4] = {0xFF, 0xF3, 0x80, 0xC4};
    ASSERT_TRUE(h.parse(mpeg2));
    EXPECT_EQ(h.rate, 22050);
    EXPECT_EQ(h.samples, 576);
    EXPECT_EQ(h.frame_bytes, 72000 * 64 / 22050);
    // Layer I, 32 kHz, 448 kbit/s.
    const std::uint8_t layer1[4] = {0xFF, 0xFF, 0xE8, 0x00};
    ASSERT_TRUE(h.parse(layer1));
    EXPECT_EQ(h.frame_bytes, (12000 * 448 / 32000) * 4);
    // Free format, bit-rate index 15, rate index 3, layer 00 and a broken sync are refused.
    for (const Bytes& bad :
         {Bytes{0xFF, 0xFB, 0x00, 0x44}, Bytes{0xFF, 0xFB, 0xF0, 0x44}, Bytes{0xFF, 0xFB, 0x9C, 0x44},
          Bytes{0xFF, 0xF9, 0x90, 0x44}, Bytes{0xFF, 0x1B, 0x90, 0x44}}) {
        EXPECT_FALSE(h.parse(bad.data()));
    }
}

TEST(FileReaderMP3, SamplesTheBitRateAtUpToTwentyPoints) {
    FileReaderMP3 big(file_with("big.mp3", frames(2'000'000)));
    ASSERT_TRUE(big.is_valid());
    EXPECT_EQ(big.bit_rate_points(), 19);
    EXPECT_EQ(big.average_kbps(), 128);
    EXPECT_EQ(big.bit_rate(), 128000);
    EXPECT_NEAR(big.duration(), 2'000'000 * 8 / 128000.0, 1e-9);
    // Positions count samples: a second is the rate.
    EXPECT_EQ(big.position_of_time(1.0), 44100);
    EXPECT_EQ(big.length(), 125 * 44100);

    FileReaderMP3 small(file_with("small.mp3", frames(150'000)));
    ASSERT_TRUE(small.is_valid());
    EXPECT_EQ(small.bit_rate_points(), 0);
    EXPECT_EQ(small.average_kbps(), 128);
}

TEST(FileReaderMP3, PlaysFromTheFirstRealFrameAfterATag) {
    // A 2 KB ID3v2 tag whose padding hides a lone frame header that no second header confirms.
    Bytes file = {'I', 'D', '3', 3, 0, 0, 0, 0, 15, 118};  // 2038 + 10 = 2048 bytes
    file.resize(2048, 0);
    std::copy(frame_header.begin(), frame_header.end(), file.begin() + 100);
    const Bytes audio = frames(40 * frame_bytes);
    file.insert(file.end(), audio.begin(), audio.end());
    auto reader = FileReader::open(file_with("tagged.mp3", file));
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->codec(), u"mp3");
    auto& mp3 = dynamic_cast<FileReaderMP3&>(reader->info());
    EXPECT_EQ(mp3.first_frame_offset(), 2048);
    EXPECT_EQ(mp3.audio_start(), 2048);
    EXPECT_EQ(mp3.position(), 0);
    // The tag is not audio: 40 frames of 1,152 samples (estimated from the bit rate, as these
    // frames never use the padding byte).
    EXPECT_NEAR(static_cast<double>(mp3.length()), 40 * 1152, 1152);

    // One frame per pull from the stream reader, 1,152 stereo frames per pull out of the decoder.
    AudioBlock frame = mp3.get_data(16384);
    EXPECT_EQ(frame.length(), static_cast<std::size_t>(frame_bytes + FileReaderMP3::lookahead_bytes));
    EXPECT_EQ(mp3.position(), 1152);
    reader->seek(0);
    EXPECT_EQ(mp3.position(), 0);
    AudioBlock pcm = reader->output().get_data(16384);
    EXPECT_EQ(pcm.format(), (AudioFormat{2, 16, 44100}));
    EXPECT_EQ(pcm.frames(), 1152);
    std::vector<std::int16_t> rest = pull_all(*reader);
    EXPECT_EQ(rest.size(), 39u * 1152 * 2);
    EXPECT_TRUE(mp3.is_at_end());
}

TEST(FileReaderMP3, BadInputEndsOrRefusesWithoutHanging) {
    // Zero length: a valid, empty stream.
    FileReaderMP3 empty(file_with("empty.mp3", {}));
    EXPECT_TRUE(empty.is_valid());
    EXPECT_TRUE(empty.get_data(1).is_empty());

    // Garbage, and a header repeated every byte that never confirms itself one frame later.
    Bytes garbage(300'000);
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<std::uint8_t>(i * 2654435761u >> 13);
    EXPECT_FALSE(FileReaderMP3(file_with("garbage.mp3", garbage)).is_valid());
    Bytes syncs(100'000, 0xFF);
    EXPECT_FALSE(FileReaderMP3(file_with("syncs.mp3", syncs)).is_valid());
    EXPECT_FALSE(FileReader::open(file_with("garbage.bin", garbage)));

    // A file cut in the middle of a frame plays its whole frames only.
    Bytes cut = frames(10 * frame_bytes + 200);
    auto reader = FileReader::open(file_with("cut.mp3", cut));
    ASSERT_TRUE(reader);
    EXPECT_EQ(pull_all(*reader).size(), 10u * 1152 * 2);

    // Damaged frames decode as silence of their length instead of ending the playback.
    Bytes damaged = frames(20 * frame_bytes);
    for (int i = 5; i < 8; ++i) std::fill_n(damaged.begin() + i * frame_bytes + 4, 40, 0xEE);
    reader = FileReader::open(file_with("damaged.mp3", damaged));
    ASSERT_TRUE(reader);
    EXPECT_EQ(pull_all(*reader).size(), 20u * 1152 * 2);
}

TEST(FileReaderMP3, DecodesLikeMpg123) {
    if (!fixtures::has_program("lame") || !fixtures::has_program("mpg123")) GTEST_SKIP() << "lame or mpg123 missing";
    const std::string wav = fixtures::path_in_scratch("source44.wav");
    fixtures::write_file(wav, fixtures::pcm_wav(fixtures::test_signal(2, 44100, 3.0), 2, 44100));
    const std::string mp3 = fixtures::path_in_scratch("lame.mp3");
    const std::string decoded = fixtures::path_in_scratch("mpg123.wav");
    ASSERT_TRUE(fixtures::run("lame --quiet -t -b 128 " + wav + " " + mp3));
    ASSERT_TRUE(fixtures::run("mpg123 -q --no-gapless -w " + decoded + " " + mp3));

    auto reader = FileReader::open(os::from_utf8(mp3));
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->codec(), u"mp3");
    EXPECT_EQ(reader->info().rate(), 44100);
    EXPECT_EQ(reader->info().channels(), 2);
    const std::vector<std::int16_t> ours = pull_all(*reader);
    const std::vector<std::int16_t> theirs = fixtures::wav_samples(decoded);
    int lag = 99;
    const double snr = fixtures::snr_db(theirs, ours, 2, 1200, &lag);
    std::printf("MP3 against mpg123: SNR %.1f dB, lag %d\n", snr, lag);
    // Both decoders are exact to within the last bit or two of 16: far above 80 dB.
    EXPECT_GT(snr, 80.0);
    EXPECT_EQ(lag, 0);
    EXPECT_NEAR(static_cast<double>(ours.size()), static_cast<double>(theirs.size()), 1152 * 2);
}

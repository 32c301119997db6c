#include <gtest/gtest.h>

#include <cstring>

#include "audio/readers/file_reader.h"
#include "audio/wav/wav_reader_adpcm.h"
#include "audio/wav/wav_reader_gsm.h"
#include "audio/wav/wav_reader_pcm.h"
#include "os/text.h"
#include "tests/audio_readers/fixtures.h"
#include "tests/audio_readers/pull.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::u16string file_with(const std::string& name, const Bytes& bytes) {
    const std::string path = fixtures::path_in_scratch(name);
    fixtures::write_file(path, bytes);
    return os::from_utf8(path);
}

void set32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A GSM WAV header of our own layout (60 bytes) with the given rate and some blocks of data.
Bytes gsm_wav(std::uint32_t rate, int blocks) {
    Bytes out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 20, 0, 0, 0, 49, 0, 1, 0};
    out.resize(24 + 4);
    set32(out, 24, rate);
    out.insert(out.end(), {0x59, 0x06, 0, 0, 65, 0, 0, 0, 2, 0, 0x40, 0x01, 'f', 'a', 'c', 't', 4, 0, 0, 0});
    out.resize(out.size() + 4);
    set32(out, out.size() - 4, 320u * blocks);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    out.resize(out.size() + 4);
    set32(out, out.size() - 4, 65u * blocks);
    out.resize(out.size() + 65u * blocks, 0);
    set32(out, 4, static_cast<std::uint32_t>(out.size() - 8));
    return out;
}

}  // namespace

TEST(WavReaderPCM, ProbingOrderDecidesNotTheName) {
    const std::vector<std::int16_t> samples = fixtures::test_signal(1, 8000, 1.0);
    auto reader = FileReader::open(file_with("voice.mp3", fixtures::pcm_wav(samples, 1, 8000)));
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->codec(), u"PCM");
    EXPECT_EQ(reader->info().length(), 16000);
    EXPECT_DOUBLE_EQ(reader->info().duration(), 1.0);
    EXPECT_EQ(reader->info().bit_rate(), 128000);

    AudioBlock block = reader->output().get_data(1000);
    EXPECT_EQ(block.frames(), 1000);
    EXPECT_EQ(std::memcmp(block.data(), samples.data(), 2000), 0);
    ASSERT_TRUE(reader->seek(reader->info().position_of_time(0.5) + 1));  // mid-frame: back to its start
    EXPECT_EQ(reader->info().position(), 8000);
    EXPECT_EQ(pull_all(*reader).size(), 4000u);
    EXPECT_TRUE(reader->info().is_at_end());
}

TEST(WavReaderPCM, SizesPastTheEndAreCutToTheFile) {
    Bytes wav = fixtures::pcm_wav(fixtures::test_signal(2, 8000, 0.25), 2, 8000);
    set32(wav, 40, 0xFFFFFFF0u);  // the data claims 4 GB
    wav.resize(wav.size() - 3);   // and the last frame is cut short
    auto reader = FileReader::open(file_with("past_end.wav", wav));
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->info().length(), (2000 - 1) * 4);
    EXPECT_EQ(pull_all(*reader).size(), (2000u - 1) * 2);
    EXPECT_TRUE(reader->info().is_valid());
}

TEST(WavReaderGSM, SixteenKilohertzIsRefusedByEveryReader) {
    EXPECT_TRUE(WavReaderGSM(file_with("gsm8k.wav", gsm_wav(8000, 3))).is_valid());
    const std::u16string path = file_with("gsm16k.wav", gsm_wav(16000, 3));
    EXPECT_FALSE(WavReaderGSM(path).is_valid());
    EXPECT_FALSE(FileReader::open(path));
    // An empty file is no stream of any codec; a header cut in the middle is refused.
    FileReader::Refusal refusal = FileReader::Refusal::None;
    EXPECT_FALSE(FileReader::open(file_with("zero.wav", {}), &refusal));
    EXPECT_EQ(refusal, FileReader::Refusal::EmptyFile);
    Bytes cut = gsm_wav(8000, 1);
    cut.resize(30);
    EXPECT_FALSE(FileReader::open(file_with("cut_header.wav", cut)));
}

TEST(WavReaderGSM, DecodesSoxFilesBitExactInExactPulls) {
    if (!fixtures::has_program("sox")) GTEST_SKIP() << "sox missing";
    const std::string source = fixtures::path_in_scratch("gsm_source.wav");
    fixtures::write_file(source, fixtures::pcm_wav(fixtures::test_signal(1, 8000, 2.0), 1, 8000));
    const std::string gsm = fixtures::path_in_scratch("sox_gsm.wav");
    const std::string decoded = fixtures::path_in_scratch("sox_gsm_decoded.wav");
    ASSERT_TRUE(fixtures::run("sox " + source + " -e gsm-full-rate " + gsm));
    ASSERT_TRUE(fixtures::run("sox " + gsm + " -e signed-integer -b 16 " + decoded));

    auto reader = FileReader::open(os::from_utf8(gsm));
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->codec(), u"GSM");
    EXPECT_EQ(reader->info().bit_rate(), 13000);
    // Requests that do not fit the 320-sample blocks are served exactly.
    AudioBlock first = reader->output().get_data(500);
    EXPECT_EQ(first.frames(), 500);
    EXPECT_EQ(reader->info().position(), 65);  // the next frame lies in the second block
    reader->seek(0);
    const std::vector<std::int16_t> ours = pull_all(*reader, 1000);
    const std::vector<std::int16_t> theirs = fixtures::wav_samples(decoded);
    ASSERT_EQ(ours.size(), theirs.size());
    EXPECT_EQ(ours, theirs);
}

TEST(WavReaderADPCM, DecodesSoxFilesBitExactAndSeeksToBlockStarts) {
    if (!fixtures::has_program("sox")) GTEST_SKIP() << "sox missing";
    for (int channels : {1, 2}) {
        const std::string source = fixtures::path_in_scratch("adpcm_source.wav");
        fixtures::write_file(source, fixtures::pcm_wav(fixtures::test_signal(channels, 22050, 2.0), channels, 22050));
        const std::string adpcm = fixtures::path_in_scratch("sox_adpcm.wav");
        const std::string decoded = fixtures::path_in_scratch("sox_adpcm_decoded.wav");
        ASSERT_TRUE(fixtures::run("sox " + source + " -e ms-adpcm " + adpcm));
        ASSERT_TRUE(fixtures::run("sox " + adpcm + " -e signed-integer -b 16 " + decoded));

        auto reader = FileReader::open(os::from_utf8(adpcm));
        ASSERT_TRUE(reader);
        EXPECT_EQ(reader->codec(), u"ADPCM");
        EXPECT_EQ(reader->info().channels(), channels);
        const auto& header = dynamic_cast<const WavReaderADPCM&>(reader->info()).header();
        const std::vector<std::int16_t> ours = pull_all(*reader, 777);
        const std::vector<std::int16_t> theirs = fixtures::wav_samples(decoded);
        ASSERT_GE(ours.size(), theirs.size() - theirs.size() % (header.samples_per_block * channels));
        // sox stops at the fact count inside the last block; everything it gives must match.
        const std::size_t common = std::min(ours.size(), theirs.size());
        EXPECT_TRUE(std::equal(theirs.begin(), theirs.begin() + static_cast<std::ptrdiff_t>(common), ours.begin()))
            << channels << " channels";

        // A time in the middle of a block seeks to that block's start.
        const double block_time = static_cast<double>(header.samples_per_block) / 22050;
        ASSERT_TRUE(reader->seek(reader->info().position_of_time(block_time * 3.5)));
        EXPECT_EQ(reader->info().position(), 3 * header.block_align);
        AudioBlock after_seek = reader->output().get_data(10);
        EXPECT_EQ(std::memcmp(after_seek.data(), &ours[3 * header.samples_per_block * channels], after_seek.length()),
                  0);
    }
}

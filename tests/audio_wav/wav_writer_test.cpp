#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <memory>
#include <vector>

#include "audio/wav/codec_wav_writer.h"
#include "audio/wav/wav_file_writer.h"
#include "audio/wav/wav_header.h"
#include "os/file.h"
#include "tests/audio_wav/format_test_support.h"

namespace {

using format_test::block_of;
using format_test::read_file;
using format_test::tone;
using format_test::u16_at;
using format_test::u32_at;

void write_pcm(const std::u16string& path, bool continue_file, const std::vector<int16_t>& samples, int channels,
               int rate, bool* valid = nullptr) {
    WavFileWriter writer(path, continue_file, WavCodec::Pcm);
    // Deliver as a recorder would: 200 ms buffers.
    const size_t step = static_cast<size_t>(rate / 5) * channels;
    for (size_t i = 0; i < samples.size(); i += step) {
        const size_t n = std::min(step, samples.size() - i);
        writer.on_data(AudioBlock(samples.data() + i, n * 2, AudioFormat{channels, 16, rate}));
    }
    if (valid != nullptr) *valid = writer.is_valid();
}

TEST(WavWriter, OneSecondOfEightKilohertzMono) {
    format_test::TempRoot root;
    bool valid = false;
    write_pcm(root.path16("a.wav"), false, tone(8000, 1, 8000), 1, 8000, &valid);
    EXPECT_TRUE(valid);
    const std::vector<uint8_t> bytes = read_file(root.path("a.wav"));
    ASSERT_EQ(bytes.size(), 16044u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(u32_at(bytes, 4), 16036u);
    EXPECT_EQ(u32_at(bytes, 16), 16u);
    EXPECT_EQ(u16_at(bytes, 20), 1);
    EXPECT_EQ(u16_at(bytes, 22), 1);
    EXPECT_EQ(u32_at(bytes, 24), 8000u);
    EXPECT_EQ(u32_at(bytes, 28), 16000u);
    EXPECT_EQ(u16_at(bytes, 32), 2);
    EXPECT_EQ(u16_at(bytes, 34), 16);
    EXPECT_EQ(std::string(bytes.begin() + 36, bytes.begin() + 40), "data");
    EXPECT_EQ(u32_at(bytes, 40), 16000u);
}

TEST(WavWriter, NoBlockNoFile) {
    format_test::TempRoot root;
    { WavFileWriter writer(root.path16("none.wav"), false, WavCodec::Pcm); }
    EXPECT_FALSE(std::filesystem::exists(root.path("none.wav")));
}

TEST(WavWriter, ContinuingAppendsAndTheHeaderCoversBoth) {
    format_test::TempRoot root;
    const std::vector<int16_t> first = tone(8000, 2, 16000, 300.0);
    const std::vector<int16_t> second = tone(4000, 2, 16000, 500.0);
    write_pcm(root.path16("c.wav"), false, first, 2, 16000);
    {
        WavFileWriter writer(root.path16("c.wav"), true, WavCodec::Pcm);
        ASSERT_TRUE(writer.is_valid());
        EXPECT_EQ(writer.frames_written(), 8000);
        EXPECT_EQ(writer.bit_rate(), 16000 * 4 * 8);
        // Blocks of another format are ignored and do not make the writer fail.
        const std::vector<int16_t> other = tone(800, 1, 8000);
        writer.on_data(block_of(other, 1, 8000));
        writer.on_data(block_of(second, 2, 16000));
        EXPECT_TRUE(writer.is_valid());
        EXPECT_EQ(writer.frames_written(), 12000);
    }
    const std::vector<uint8_t> bytes = read_file(root.path("c.wav"));
    ASSERT_EQ(bytes.size(), 44u + 48000u);
    EXPECT_EQ(u32_at(bytes, 40), 48000u);
    EXPECT_EQ(u32_at(bytes, 4), 48036u);
    const auto* samples = reinterpret_cast<const int16_t*>(bytes.data() + 44);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), samples));
    EXPECT_TRUE(std::equal(second.begin(), second.end(), samples + first.size()));
}

TEST(WavWriter, FilesThatCannotBeContinuedStayUntouched) {
    format_test::TempRoot root;
    // Missing: invalid from the start and nothing is created.
    {
        WavFileWriter writer(root.path16("missing.wav"), true, WavCodec::Pcm);
        EXPECT_FALSE(writer.is_valid());
        const std::vector<int16_t> pcm = tone(800, 1, 8000);
        writer.on_data(block_of(pcm, 1, 8000));
    }
    EXPECT_FALSE(std::filesystem::exists(root.path("missing.wav")));

    // Empty, not a WAV at all, and a GSM file offered to the PCM and ADPCM writers.
    format_test::write_file(root.path("empty.wav"), {});
    std::vector<uint8_t> junk(5000);
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<uint8_t>(i * 7);
    format_test::write_file(root.path("junk.wav"), junk);
    {
        auto gsm = CodecWavWriter::create_gsm(root.path16("gsm.wav"), false);
        const std::vector<int16_t> pcm = tone(8000, 1, 8000);
        gsm->on_data(block_of(pcm, 1, 8000));
    }
    const std::vector<uint8_t> gsm_bytes = read_file(root.path("gsm.wav"));
    ASSERT_EQ(gsm_bytes.size(), 60u + 1625u);

    for (const char* name : {"empty.wav", "junk.wav", "gsm.wav"}) {
        const std::vector<uint8_t> before = read_file(root.path(name));
        {
            WavFileWriter pcm_writer(root.path16(name), true, WavCodec::Pcm);
            EXPECT_FALSE(pcm_writer.is_valid()) << name;
            const std::vector<int16_t> pcm = tone(800, 1, 8000);
            pcm_writer.on_data(block_of(pcm, 1, 8000));
        }
        {
            auto adpcm = CodecWavWriter::create_adpcm(root.path16(name), true);
            EXPECT_FALSE(adpcm->is_valid()) << name;
            const std::vector<int16_t> pcm = tone(8000, 1, 8000);
            adpcm->on_data(block_of(pcm, 1, 8000));
        }
        EXPECT_EQ(read_file(root.path(name)), before) << name;
    }
}

TEST(WavWriter, ContinuingAFileCutShortKeepsWhatIsThere) {
    format_test::TempRoot root;
    write_pcm(root.path16("cut.wav"), false, tone(8000, 1, 8000), 1, 8000);
    // A recording interrupted before its header was final: the header claims more than the file
    // holds, and the last frame is torn.
    std::vector<uint8_t> bytes = read_file(root.path("cut.wav"));
    bytes.resize(44 + 1001);
    format_test::write_file(root.path("cut.wav"), bytes);
    {
        WavFileWriter writer(root.path16("cut.wav"), true, WavCodec::Pcm);
        ASSERT_TRUE(writer.is_valid());
        EXPECT_EQ(writer.frames_written(), 500);
        const std::vector<int16_t> more = tone(100, 1, 8000);
        writer.on_data(block_of(more, 1, 8000));
    }
    bytes = read_file(root.path("cut.wav"));
    EXPECT_EQ(bytes.size(), 44u + 1200u);
    EXPECT_EQ(u32_at(bytes, 40), 1200u);
}

std::vector<uint8_t> riff(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& chunks) {
    std::vector<uint8_t> body{'W', 'A', 'V', 'E'};
    for (const auto& [id, data] : chunks) {
        body.insert(body.end(), id.begin(), id.end());
        const uint32_t size = static_cast<uint32_t>(data.size());
        for (int i = 0; i < 4; ++i) body.push_back(static_cast<uint8_t>(size >> (8 * i)));
        body.insert(body.end(), data.begin(), data.end());
        if (data.size() % 2 != 0) body.push_back(0);
    }
    std::vector<uint8_t> out{'R', 'I', 'F', 'F'};
    const uint32_t size = static_cast<uint32_t>(body.size());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(size >> (8 * i)));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<uint8_t> fmt_chunk(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t align, uint16_t bits,
                               std::vector<uint8_t> extra = {}) {
    WavHeader header;
    header.channels = channels;
    header.sample_rate = rate;
    header.block_align = align;
    header.bits_per_sample = bits;
    header.average_bytes_per_second = rate * align;
    std::vector<uint8_t> bytes = header.serialize(WavCodec::Pcm);
    std::vector<uint8_t> fmt(bytes.begin() + 20, bytes.begin() + 36);
    fmt[0] = static_cast<uint8_t>(tag);
    fmt.insert(fmt.end(), extra.begin(), extra.end());
    return fmt;
}

bool reads_as(const std::string& path, const std::vector<uint8_t>& bytes, WavCodec codec, WavHeader* out = nullptr) {
    format_test::write_file(path, bytes);
    os::File file(os::from_utf8(path), os::File::Read);
    WavHeader header;
    const bool ok = header.read_header(file, codec);
    if (out != nullptr) *out = header;
    return ok;
}

TEST(WavHeaderRead, ChunkRulesAndAcceptance) {
    format_test::TempRoot root;
    const std::string path = root.path("h.wav");
    const std::vector<uint8_t> data(10, 1);
    const std::vector<uint8_t> list{'I', 'N', 'F', 'O', 'x'};  // odd size: padded

    WavHeader header;
    ASSERT_TRUE(reads_as(path, riff({{"fmt ", fmt_chunk(1, 1, 8000, 2, 16)}, {"LIST", list}, {"data", data}}),
                         WavCodec::Pcm, &header));
    EXPECT_EQ(header.data_size, 10u);
    EXPECT_EQ(header.data_start, 12u + 24u + 14u + 8u);
    // Nothing may stand between "WAVE" and "fmt ".
    EXPECT_FALSE(
        reads_as(path, riff({{"LIST", list}, {"fmt ", fmt_chunk(1, 1, 8000, 2, 16)}, {"data", data}}), WavCodec::Pcm));
    // An 18-byte fmt chunk is fine.
    ASSERT_TRUE(
        reads_as(path, riff({{"fmt ", fmt_chunk(1, 1, 8000, 2, 16, {0, 0})}, {"data", data}}), WavCodec::Pcm, &header));
    EXPECT_EQ(header.data_start, 46u);
    // No data chunk, wrong codec, truncated.
    EXPECT_FALSE(reads_as(path, riff({{"fmt ", fmt_chunk(1, 1, 8000, 2, 16)}}), WavCodec::Pcm));
    EXPECT_FALSE(reads_as(path, riff({{"fmt ", fmt_chunk(1, 1, 8000, 2, 16)}, {"data", data}}), WavCodec::Gsm));
    std::vector<uint8_t> cut = riff({{"fmt ", fmt_chunk(1, 1, 8000, 2, 16)}, {"data", data}});
    cut.resize(30);
    EXPECT_FALSE(reads_as(path, cut, WavCodec::Pcm));

    // GSM: only 8000 Hz mono with 320 samples in 65 bytes.
    const std::vector<uint8_t> fact{0x40, 0x1F, 0, 0};
    const auto gsm_fmt = [](uint32_t rate) {
        std::vector<uint8_t> fmt = fmt_chunk(49, 1, rate, 65, 0, {2, 0, 0x40, 0x01});
        return fmt;
    };
    ASSERT_TRUE(
        reads_as(path, riff({{"fmt ", gsm_fmt(8000)}, {"fact", fact}, {"data", data}}), WavCodec::Gsm, &header));
    EXPECT_EQ(header.fact_count, 8000u);
    EXPECT_EQ(header.samples_per_block, 320);
    EXPECT_FALSE(reads_as(path, riff({{"fmt ", gsm_fmt(16000)}, {"fact", fact}, {"data", data}}), WavCodec::Gsm));
    EXPECT_FALSE(reads_as(path, riff({{"fmt ", gsm_fmt(8000)}, {"data", data}}), WavCodec::Gsm));
}

TEST(CodecWavWriter, OneSecondOfGsmAndAdpcm) {
    format_test::TempRoot root;
    const std::vector<int16_t> pcm = tone(8000, 1, 8000);
    {
        auto gsm = CodecWavWriter::create_gsm(root.path16("g.wav"), false);
        auto adpcm = CodecWavWriter::create_adpcm(root.path16("a.wav"), false);
        for (size_t i = 0; i < pcm.size(); i += 1600) {
            const AudioBlock block(pcm.data() + i, 3200, AudioFormat{1, 16, 8000});
            gsm->on_data(block);
            adpcm->on_data(block);
        }
        EXPECT_EQ(gsm->frames_written(), 8000);
        EXPECT_EQ(adpcm->frames_written(), 8000);
        EXPECT_EQ(gsm->bit_rate(), 13000);
    }
    const std::vector<uint8_t> g = read_file(root.path("g.wav"));
    ASSERT_EQ(g.size(), 60u + 1625u);
    EXPECT_EQ(u32_at(g, 4), 60u + 1625u - 8u);
    EXPECT_EQ(u32_at(g, 16), 20u);
    EXPECT_EQ(u16_at(g, 20), 49);
    EXPECT_EQ(u32_at(g, 28), 1625u);
    EXPECT_EQ(u16_at(g, 32), 65);
    EXPECT_EQ(u16_at(g, 34), 0);
    EXPECT_EQ(u16_at(g, 36), 2);
    EXPECT_EQ(u16_at(g, 38), 320);
    EXPECT_EQ(std::string(g.begin() + 40, g.begin() + 44), "fact");
    EXPECT_EQ(u32_at(g, 48), 8000u);
    EXPECT_EQ(u32_at(g, 56), 1625u);

    const std::vector<uint8_t> a = read_file(root.path("a.wav"));
    ASSERT_EQ(a.size(), 90u + 4096u);
    EXPECT_EQ(u32_at(a, 16), 50u);
    EXPECT_EQ(u16_at(a, 20), 2);
    EXPECT_EQ(u32_at(a, 28), 256u * 8000u / 500u);
    EXPECT_EQ(u16_at(a, 32), 256);
    EXPECT_EQ(u16_at(a, 34), 4);
    EXPECT_EQ(u16_at(a, 36), 32);
    EXPECT_EQ(u16_at(a, 38), 500);
    EXPECT_EQ(u16_at(a, 40), 7);
    EXPECT_EQ(static_cast<int16_t>(u16_at(a, 40 + 2 + 5 * 4 + 2)), -208);
    EXPECT_EQ(u32_at(a, 78), 8000u);
    EXPECT_EQ(u32_at(a, 86), 4096u);

    // Continuing the ADPCM file adds whole blocks and keeps the fact count in step.
    {
        auto adpcm = CodecWavWriter::create_adpcm(root.path16("a.wav"), true);
        ASSERT_TRUE(adpcm->is_valid());
        adpcm->on_data(block_of(pcm, 1, 8000));
        // A block whose rate asks for another block size is ignored.
        const std::vector<int16_t> other = tone(22050, 1, 22050);
        adpcm->on_data(block_of(other, 1, 22050));
    }
    const std::vector<uint8_t> both = read_file(root.path("a.wav"));
    EXPECT_EQ(both.size(), 90u + 8192u);
    EXPECT_EQ(u32_at(both, 78), 16000u);
    EXPECT_EQ(u32_at(both, 86), 8192u);
}

TEST(CodecWavWriter, ThePartlyFilledLastBlockIsPaddedAndCountedTrue) {
    format_test::TempRoot root;
    // 1100 samples: two whole ADPCM blocks of 500 and 100 more; three GSM blocks of 320 and 140.
    const std::vector<int16_t> pcm = tone(1100, 1, 8000);
    {
        auto gsm = CodecWavWriter::create_gsm(root.path16("g.wav"), false);
        auto adpcm = CodecWavWriter::create_adpcm(root.path16("a.wav"), false);
        const AudioBlock block(pcm.data(), pcm.size() * 2, AudioFormat{1, 16, 8000});
        gsm->on_data(block);
        adpcm->on_data(block);
    }
    const std::vector<uint8_t> g = read_file(root.path("g.wav"));
    ASSERT_EQ(g.size(), 60u + 4u * 65u);
    EXPECT_EQ(u32_at(g, 48), 1100u);  // fact: the real samples, without the padding
    EXPECT_EQ(u32_at(g, 56), 4u * 65u);
    const std::vector<uint8_t> a = read_file(root.path("a.wav"));
    ASSERT_EQ(a.size(), 90u + 3u * 256u);
    EXPECT_EQ(u32_at(a, 78), 1100u);
    EXPECT_EQ(u32_at(a, 86), 3u * 256u);

    // Continuing: the padding now lies inside the audio, so every coded sample counts.
    {
        auto adpcm = CodecWavWriter::create_adpcm(root.path16("a.wav"), true);
        ASSERT_TRUE(adpcm->is_valid());
        adpcm->on_data(AudioBlock(pcm.data(), 250 * 2, AudioFormat{1, 16, 8000}));
    }
    const std::vector<uint8_t> both = read_file(root.path("a.wav"));
    ASSERT_EQ(both.size(), 90u + 4u * 256u);
    EXPECT_EQ(u32_at(both, 78), 3u * 500u + 250u);
}

TEST(CodecWavWriter, FormatsTheCodecCannotTakeLeaveNoFile) {
    format_test::TempRoot root;
    {
        auto gsm = CodecWavWriter::create_gsm(root.path16("g16.wav"), false);
        const std::vector<int16_t> pcm = tone(16000, 1, 16000);
        gsm->on_data(block_of(pcm, 1, 16000));
        auto adpcm = CodecWavWriter::create_adpcm(root.path16("a8.wav"), false);
        std::vector<uint8_t> eight(8000, 128);
        adpcm->on_data(AudioBlock(eight.data(), eight.size(), AudioFormat{1, 8, 8000}));
    }
    EXPECT_FALSE(std::filesystem::exists(root.path("g16.wav")));
    EXPECT_FALSE(std::filesystem::exists(root.path("a8.wav")));
}

// A file-size limit makes the kernel refuse writes past it, as a full disk does.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_old_handler = signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        signal(SIGXFSZ, m_old_handler);
    }

private:
    rlimit m_old{};
    sighandler_t m_old_handler;
};

TEST(WavWriter, AFullDiskStopsTheWriterAndKeepsAPlayableFile) {
    format_test::TempRoot root;
    const std::vector<int16_t> pcm = tone(24000, 1, 8000);
    for (WavCodec codec : {WavCodec::Pcm, WavCodec::Adpcm}) {
        const std::string name = codec == WavCodec::Pcm ? "full.wav" : "full_adpcm.wav";
        {
            std::unique_ptr<AudioConsumer> writer;
            WavFileWriter* pcm_writer = nullptr;
            CodecWavWriter* codec_writer = nullptr;
            if (codec == WavCodec::Pcm) {
                auto w = std::make_unique<WavFileWriter>(root.path16(name), false, codec);
                pcm_writer = w.get();
                writer = std::move(w);
            } else {
                auto w = CodecWavWriter::create_adpcm(root.path16(name), false);
                codec_writer = w.get();
                writer = std::move(w);
            }
            FileSizeLimit limit(5001);
            for (size_t i = 0; i < pcm.size(); i += 1600) {
                std::lock_guard<std::recursive_mutex> guard(writer->lock());
                writer->on_data(AudioBlock(pcm.data() + i, 3200, AudioFormat{1, 16, 8000}));
            }
            const bool valid = pcm_writer != nullptr ? pcm_writer->is_valid() : codec_writer->is_valid();
            EXPECT_FALSE(valid) << name;
        }
        const std::vector<uint8_t> bytes = read_file(root.path(name));
        WavHeader header;
        os::File file(root.path16(name), os::File::Read);
        ASSERT_TRUE(header.read_header(file, codec)) << name;
        EXPECT_EQ(header.data_start + header.data_size, bytes.size()) << name;
        EXPECT_LE(bytes.size(), 5001u);
        EXPECT_GT(header.data_size, 3000u);
        if (codec == WavCodec::Pcm) {
            EXPECT_EQ(header.data_size % 2, 0u);
        } else {
            EXPECT_EQ(header.data_size % 256, 0u);
            EXPECT_EQ(header.fact_count, header.data_size / 256 * 500);
        }
        format_test::expect_ffmpeg_decodes_cleanly(root.path(name));
    }
}

TEST(WavInterop, EcosystemDecodersReadEveryCodecCleanly) {
    format_test::TempRoot root;
    const std::vector<int16_t> mono8 = tone(8000, 1, 8000);
    const std::vector<int16_t> stereo44 = tone(44100, 2, 44100);
    write_pcm(root.path16("pcm.wav"), false, stereo44, 2, 44100);
    {
        auto gsm = CodecWavWriter::create_gsm(root.path16("gsm.wav"), false);
        gsm->on_data(block_of(mono8, 1, 8000));
        auto adpcm = CodecWavWriter::create_adpcm(root.path16("adpcm.wav"), false);
        adpcm->on_data(block_of(mono8, 1, 8000));
        auto adpcm2 = CodecWavWriter::create_adpcm(root.path16("adpcm2.wav"), false);
        adpcm2->on_data(block_of(stereo44, 2, 44100));
    }
    for (const char* name : {"pcm.wav", "gsm.wav", "adpcm.wav", "adpcm2.wav"}) {
        format_test::expect_ffmpeg_decodes_cleanly(root.path(name));
        format_test::expect_sox_decodes_cleanly(root.path(name));
    }
    // sox agrees with our ADPCM decoder on the number of samples, and with ffmpeg on the codec.
    if (format_test::has_program("soxi")) {
        EXPECT_EQ(format_test::run("soxi -s '" + root.path("adpcm.wav") + "'").output, "8000\n");
        EXPECT_EQ(format_test::run("soxi -s '" + root.path("gsm.wav") + "'").output, "8000\n");
    }
}

}  // namespace

namespace {

// Damaged headers of every codec: reading must fail or succeed cleanly, never read out of bounds
// (the sanitizer build checks that), and anything accepted must obey the codec's rules.
TEST(WavHeaderRead, SurvivesDamagedFiles) {
    format_test::TempRoot root;
    std::vector<std::vector<uint8_t>> originals;
    {
        const std::vector<int16_t> pcm = tone(2000, 1, 8000);
        write_pcm(root.path16("p.wav"), false, pcm, 1, 8000);
        auto gsm = CodecWavWriter::create_gsm(root.path16("g.wav"), false);
        gsm->on_data(block_of(pcm, 1, 8000));
        auto adpcm = CodecWavWriter::create_adpcm(root.path16("a.wav"), false);
        adpcm->on_data(block_of(pcm, 1, 8000));
    }
    for (const char* name : {"p.wav", "g.wav", "a.wav"}) originals.push_back(read_file(root.path(name)));

    uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    const std::string path = root.path("damaged.wav");
    int accepted = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> bytes = originals[static_cast<size_t>(round) % originals.size()];
        const int changes = 1 + static_cast<int>(next() % 4);
        for (int c = 0; c < changes; ++c) {
            const size_t at = next() % 100;
            if (at < bytes.size()) bytes[at] = static_cast<uint8_t>(next());
        }
        if (next() % 4 == 0) bytes.resize(next() % bytes.size());
        for (WavCodec codec : {WavCodec::Pcm, WavCodec::Gsm, WavCodec::Adpcm}) {
            WavHeader header;
            if (!reads_as(path, bytes, codec, &header)) continue;
            ++accepted;
            EXPECT_LE(header.data_start, bytes.size());
            if (codec == WavCodec::Gsm) {
                EXPECT_EQ(header.block_align, 65);
            }
            if (codec == WavCodec::Adpcm) {
                EXPECT_EQ(header.coefficients.size(), 7u);
            }
        }
    }
    EXPECT_GT(accepted, 0);
}

}  // namespace

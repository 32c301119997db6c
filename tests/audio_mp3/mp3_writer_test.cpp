#include "audio/mp3/mp3_writer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <vector>

#include "audio/mp3/id3_tag.h"
#include "os/file.h"
#include "tests/audio_wav/format_test_support.h"

namespace {

using format_test::read_file;
using format_test::tone;

// Counts MPEG audio frames (layer III, MPEG 1 or 2) from `start`, by walking their headers.
// Returns the sample frames they hold; -1 when the stream is broken.
long long mp3_samples(const std::vector<uint8_t>& bytes, size_t start, int* frames_out = nullptr) {
    static const int kRates1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int kRates2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const int kSampleRates[] = {44100, 48000, 32000};
    long long samples = 0;
    int frames = 0;
    size_t at = start;
    while (at + 4 <= bytes.size()) {
        const uint8_t* h = bytes.data() + at;
        if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0 || ((h[1] >> 1) & 3) != 1) return -1;
        const bool mpeg1 = ((h[1] >> 3) & 3) == 3;
        const int bitrate_index = h[2] >> 4;
        const int rate_index = (h[2] >> 2) & 3;
        if (bitrate_index == 0 || bitrate_index == 15 || rate_index == 3) return -1;
        const int rate = kSampleRates[rate_index] / (mpeg1 ? 1 : 2);
        const int bitrate = (mpeg1 ? kRates1 : kRates2)[bitrate_index] * 1000;
        const int padding = (h[2] >> 1) & 1;
        const size_t length = static_cast<size_t>((mpeg1 ? 144 : 72) * bitrate / rate + padding);
        if (at + length > bytes.size()) return -1;
        samples += mpeg1 ? 1152 : 576;
        ++frames;
        at += length;
    }
    if (frames_out != nullptr) *frames_out = frames;
    return at == bytes.size() ? samples : -1;
}

size_t tag_length(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 10 || bytes[0] != 'I' || bytes[1] != 'D' || bytes[2] != '3') return 0;
    return 10 + ((bytes[6] << 21) | (bytes[7] << 14) | (bytes[8] << 7) | bytes[9]);
}

void write_tag(const std::u16string& path) {
    Id3Tag tag;
    tag.set_text("TPE1", u"Zo\u00eb");
    tag.set_text("TIT2", u"Hello");
    tag.set_text("TALB", u"Record");
    tag.set_text("TCON", u"Quillon Touch");
    const std::vector<uint8_t> png{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
                                   0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x04, 0x00, 0x00,
                                   0x00, 0xB5, 0x1C, 0x0C, 0x02, 0x00, 0x00, 0x00, 0x0B, 0x49, 0x44, 0x41, 0x54, 0x78,
                                   0xDA, 0x63, 0x64, 0x60, 0x00, 0x00, 0x00, 0x06, 0x00, 0x02, 0x30, 0x81, 0xD0, 0x2F,
                                   0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
    tag.set_picture(png);
    os::File file(path, os::File::Write);
    ASSERT_TRUE(tag.write(file));
}

// Records like the application does: the tag first, then the writer appends 200 ms blocks.
void record(const std::u16string& path, const std::vector<int16_t>& pcm, int rate, int bit_rate) {
    write_tag(path);
    Mp3Writer writer(path, true, bit_rate);
    ASSERT_TRUE(writer.is_valid());
    const size_t step = static_cast<size_t>(rate / 5);
    for (size_t i = 0; i < pcm.size(); i += step) {
        const size_t n = std::min(step, pcm.size() - i);
        writer.on_data(AudioBlock(pcm.data() + i, n * 2, AudioFormat{1, 16, rate}));
    }
}

TEST(Mp3Writer, TheFlushedTailReachesTheFile) {
    format_test::TempRoot root;
    // 1.3 s: not a whole number of frames, and short enough that LAME still holds a good part.
    const std::vector<int16_t> pcm = tone(57330, 1, 44100);
    record(root.path16("tail.mp3"), pcm, 44100, 64000);
    const std::vector<uint8_t> bytes = read_file(root.path("tail.mp3"));
    const size_t audio_start = tag_length(bytes);
    ASSERT_EQ(audio_start, 10u + 1024u + (10 + 9) + (10 + 6) + (10 + 7) + (10 + 14) + (10 + 9 + 68 + 4));
    const long long samples = mp3_samples(bytes, audio_start);
    // Every input sample is in a frame: LAME's delay of 576 + 529 samples comes first, and at
    // most one frame of padding follows (plus LAME's own info frame).
    EXPECT_GE(samples, static_cast<long long>(pcm.size()) + 576);
    EXPECT_LE(samples, static_cast<long long>(pcm.size()) + 1105 + 3 * 1152);

    // The same through the bare nodes shows what the flush adds.
    Mp3Encoder encoder(64000);
    FileWriterMP3 file_writer(root.path16("nodes.mp3"), false);
    connect(encoder, &file_writer);
    encoder.on_data(format_test::block_of(pcm, 1, 44100));
    const int64_t before = encoder.bytes_encoded();
    encoder.finish();
    EXPECT_GT(encoder.bytes_encoded(), before);
    EXPECT_EQ(file_writer.bytes_received(), encoder.bytes_encoded());
    connect(encoder, nullptr);
}

TEST(Mp3Writer, LowFormatUsesHalfRateFrames) {
    format_test::TempRoot root;
    const std::vector<int16_t> pcm = tone(22050, 1, 22050);
    record(root.path16("low.mp3"), pcm, 22050, 32000);
    const std::vector<uint8_t> bytes = read_file(root.path("low.mp3"));
    int frames = 0;
    const long long samples = mp3_samples(bytes, tag_length(bytes), &frames);
    EXPECT_GE(samples, 22050 + 576);
    EXPECT_LE(samples, 22050 + 1105 + 3 * 576);
    // 32 kbit/s at 22,050 Hz: 72 × 32000 / 22050 = 104 bytes a frame, padding aside. The first
    // frame is the info frame, at 56 kbit/s (182 bytes) as 104 bytes cannot hold it; "Xing", so
    // players count its frames instead of taking its bit rate for the stream's.
    const size_t audio = tag_length(bytes);
    ASSERT_EQ(bytes[audio + 2] >> 4, 7);
    EXPECT_EQ(std::string(bytes.begin() + audio + 13, bytes.begin() + audio + 17), "Xing");
    EXPECT_NEAR(static_cast<double>(bytes.size() - audio - 182) / (frames - 1), 104.5, 1.0);
}

TEST(FileWriterMP3, BuffersSmallBlocksAndWritesLargeOnesStraightThrough) {
    format_test::TempRoot root;
    const std::string path = root.path("b.mp3");
    {
        FileWriterMP3 writer(root.path16("b.mp3"), false);
        ASSERT_TRUE(writer.is_valid());
        std::vector<uint8_t> small(10000, 1);
        writer.on_data(AudioBlock(small.data(), small.size(), AudioFormat{1, 0, 44100}));
        EXPECT_EQ(read_file(path).size(), 0u);
        // Over the buffer: the buffered 10,000 go first, the new 10,000 are buffered.
        writer.on_data(AudioBlock(small.data(), small.size(), AudioFormat{1, 0, 44100}));
        EXPECT_EQ(read_file(path).size(), 10000u);
        // Larger than the buffer: flushed buffer, then the block itself.
        std::vector<uint8_t> large(20000, 2);
        writer.on_data(AudioBlock(large.data(), large.size(), AudioFormat{1, 0, 44100}));
        EXPECT_EQ(read_file(path).size(), 40000u);
        writer.on_data(AudioBlock(small.data(), 5, AudioFormat{1, 0, 44100}));
        EXPECT_EQ(writer.bytes_received(), 40005);
    }
    const std::vector<uint8_t> bytes = read_file(path);
    ASSERT_EQ(bytes.size(), 40005u);
    EXPECT_EQ(bytes[20000], 2);
    EXPECT_EQ(bytes[40000], 1);
}

TEST(FileWriterMP3, AnEmptyCreatedFileIsDeletedButAnAppendedOneStays) {
    format_test::TempRoot root;
    { FileWriterMP3 writer(root.path16("empty.mp3"), false); }
    EXPECT_FALSE(std::filesystem::exists(root.path("empty.mp3")));
    write_tag(root.path16("tagged.mp3"));
    const size_t tagged = read_file(root.path("tagged.mp3")).size();
    { FileWriterMP3 writer(root.path16("tagged.mp3"), true); }
    EXPECT_EQ(read_file(root.path("tagged.mp3")).size(), tagged);
    // A writer whose file cannot be opened is invalid and swallows blocks.
    FileWriterMP3 writer(root.path16("no/such/folder/x.mp3"), false);
    EXPECT_FALSE(writer.is_valid());
    std::vector<uint8_t> some(100, 1);
    writer.on_data(AudioBlock(some.data(), some.size(), AudioFormat{1, 0, 44100}));
    EXPECT_EQ(writer.bytes_received(), 0);
}

TEST(Mp3Writer, ContinuingAppendsAfterTheEarlierRecording) {
    format_test::TempRoot root;
    const std::vector<int16_t> pcm = tone(44100, 1, 44100);
    record(root.path16("c.mp3"), pcm, 44100, 64000);
    const std::vector<uint8_t> first = read_file(root.path("c.mp3"));
    {
        Mp3Writer writer(root.path16("c.mp3"), true, 64000);
        writer.on_data(format_test::block_of(pcm, 1, 44100));
    }
    const std::vector<uint8_t> both = read_file(root.path("c.mp3"));
    ASSERT_GT(both.size(), first.size());
    // Only the info frame at the start changes: it now counts the appended frames too.
    const size_t audio = tag_length(first);
    const size_t info_end = audio + 208;  // 64 kbit/s at 44.1 kHz, no padding bit on the first frame
    EXPECT_TRUE(std::equal(first.begin(), first.begin() + static_cast<long>(audio), both.begin()));
    EXPECT_TRUE(std::equal(first.begin() + static_cast<long>(info_end), first.end(),
                           both.begin() + static_cast<long>(info_end)));
    EXPECT_GE(mp3_samples(both, audio), 2 * (44100 + 576));
    format_test::expect_ffmpeg_decodes_cleanly(root.path("c.mp3"));
    if (format_test::has_program("mpg123")) {
        // Decoders that trust the info frame play both parts.
        const format_test::Run decoded = format_test::run("mpg123 -q -s '" + root.path("c.mp3") + "' | wc -c");
        EXPECT_GE(std::stoll(decoded.output) / 2, 2 * 44100);
    }
}

TEST(Mp3Writer, ContinuingAFileWithAnId3v1TagKeepsTheTagAtTheEnd) {
    format_test::TempRoot root;
    const std::vector<int16_t> pcm = tone(44100, 1, 44100);
    {
        Mp3Writer writer(root.path16("v1.mp3"), false, 64000);
        writer.on_data(format_test::block_of(pcm, 1, 44100));
    }
    // An ID3v1 tag as taggers add it: "TAG", title, artist, album (30 bytes each), year, comment,
    // genre.
    std::vector<uint8_t> tag(128, 0);
    auto put = [&](size_t at, const std::string& text) { std::copy(text.begin(), text.end(), tag.begin() + at); };
    put(0, "TAG");
    put(3, "Harbour Talk");
    put(33, "Mira Holm");
    put(63, "Notes");
    put(93, "2024");
    tag[127] = 101;
    std::vector<uint8_t> tagged = read_file(root.path("v1.mp3"));
    const long long first_samples = mp3_samples(tagged, 0);
    ASSERT_GT(first_samples, 0);
    tagged.insert(tagged.end(), tag.begin(), tag.end());
    format_test::write_file(root.path("v1.mp3"), tagged);
    {
        Mp3Writer writer(root.path16("v1.mp3"), true, 64000);
        ASSERT_TRUE(writer.is_valid());
        writer.on_data(format_test::block_of(pcm, 1, 44100));
    }
    const std::vector<uint8_t> both = read_file(root.path("v1.mp3"));
    ASSERT_GT(both.size(), tagged.size());
    // The tag still ends the file, and before it lie nothing but whole frames of both parts.
    EXPECT_TRUE(std::equal(tag.begin(), tag.end(), both.end() - 128));
    const std::vector<uint8_t> frames(both.begin(), both.end() - 128);
    EXPECT_GE(mp3_samples(frames, 0), first_samples + 44100);
    format_test::expect_ffmpeg_decodes_cleanly(root.path("v1.mp3"));
    if (format_test::has_program("ffprobe")) {
        const format_test::Run probe = format_test::run(
            "ffprobe -v error -show_entries format_tags=artist,title -of "
            "default=nw=1 '" +
            root.path("v1.mp3") + "'");
        EXPECT_NE(probe.output.find("Mira Holm"), std::string::npos) << probe.output;
        EXPECT_NE(probe.output.find("Harbour Talk"), std::string::npos) << probe.output;
    }
}

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

TEST(Mp3Writer, AFullDiskStopsTheWriterAndKeepsWholeFrames) {
    format_test::TempRoot root;
    const std::vector<int16_t> pcm = tone(44100 * 6, 1, 44100);
    write_tag(root.path16("full.mp3"));
    {
        Mp3Writer writer(root.path16("full.mp3"), true, 64000);
        FileSizeLimit limit(30000);
        for (size_t i = 0; i < pcm.size(); i += 8820) {
            writer.on_data(AudioBlock(pcm.data() + i, 8820 * 2, AudioFormat{1, 16, 44100}));
        }
        EXPECT_FALSE(writer.is_valid());
    }
    const std::vector<uint8_t> bytes = read_file(root.path("full.mp3"));
    EXPECT_LE(bytes.size(), 30000u);
    EXPECT_GT(mp3_samples(bytes, tag_length(bytes)), 44100);
    // Whole frames only: ffmpeg decodes without complaint. The info frame could not be completed
    // (its counts would describe frames that never reached the disk), so ffmpeg may only remark
    // that it estimates the duration from the constant bit rate.
    if (format_test::has_program("ffmpeg")) {
        const format_test::Run result =
            format_test::run("ffmpeg -nostdin -hide_banner -v warning -i '" + root.path("full.mp3") + "' -f null -");
        EXPECT_EQ(result.status, 0);
        std::string remarks = result.output;
        const std::string estimate = "Estimating duration from bitrate, this may be inaccurate\n";
        const size_t at = remarks.find(estimate);
        if (at != std::string::npos) remarks = remarks.substr(at + estimate.size());
        EXPECT_EQ(remarks, "");
    }
}

TEST(Mp3Interop, DecodersAndTagReadersAcceptOurFiles) {
    format_test::TempRoot root;
    const std::vector<int16_t> pcm = tone(44100 * 2, 1, 44100);
    record(root.path16("i.mp3"), pcm, 44100, 96000);
    const std::string path = root.path("i.mp3");
    format_test::expect_ffmpeg_decodes_cleanly(path);
    if (format_test::has_program("mpg123")) {
        const format_test::Run result = format_test::run("mpg123 -q -t '" + path + "'");
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.output, "");
        // mpg123 gives back every input sample (it trims LAME's delay using the info frame).
        const format_test::Run decoded = format_test::run("mpg123 -q -s '" + path + "' | wc -c");
        const long long samples = std::stoll(decoded.output) / 2;
        EXPECT_EQ(samples, static_cast<long long>(pcm.size()));
    }
    if (!format_test::has_program("ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
    const format_test::Run tags = format_test::run(
        "ffprobe -v error -show_entries format_tags=title,artist,album,genre -show_entries "
        "stream=codec_name,codec_type -of default=noprint_wrappers=1 '" +
        path + "'");
    EXPECT_EQ(tags.status, 0);
    EXPECT_NE(tags.output.find("TAG:title=Hello"), std::string::npos) << tags.output;
    EXPECT_NE(tags.output.find("TAG:artist=Zo\xc3\xab"), std::string::npos) << tags.output;
    EXPECT_NE(tags.output.find("TAG:album=Record"), std::string::npos) << tags.output;
    EXPECT_NE(tags.output.find("TAG:genre=Quillon Touch"), std::string::npos) << tags.output;
    EXPECT_NE(tags.output.find("codec_name=mp3"), std::string::npos) << tags.output;
    // The APIC frame shows up as an attached picture stream.
    EXPECT_NE(tags.output.find("codec_name=png"), std::string::npos) << tags.output;
}

}  // namespace

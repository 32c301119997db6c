// Lengths, seek positions and gapless playback of MP3 files as the ecosystem's own tools make and
// measure them: lame, id3v2 and mutagen make the files, ffprobe, ffmpeg and mpg123 measure them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/mp3/file_reader_mp3.h"
#include "audio/mp3/id3_tag.h"
#include "audio/mp3/mp3_writer.h"
#include "audio/readers/file_reader.h"
#include "os/file.h"
#include "os/text.h"
#include "tests/audio_readers/fixtures.h"
#include "tests/audio_readers/pull.h"

namespace {

using Samples = std::vector<std::int16_t>;

// Standard output of a command line; empty when it fails.
std::string output_of(const std::string& command) {
    std::string out;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    return pclose(pipe) == 0 ? out : std::string();
}

std::string quoted(const std::string& path) { return "'" + path + "'"; }

double ffprobe_duration(const std::string& path) {
    return std::atof(output_of("ffprobe -v error -show_entries format=duration -of csv=p=0 " + quoted(path)).c_str());
}

// Samples per channel that ffmpeg plays (it drops the encoder delay and padding it finds).
long long ffmpeg_samples(const std::string& path) {
    return std::atoll(output_of("ffmpeg -nostdin -v error -i " + quoted(path) + " -ac 1 -f s16le - | wc -c").c_str()) /
           2;
}

bool have(std::initializer_list<const char*> programs) {
    for (const char* program : programs) {
        if (!fixtures::has_program(program)) return false;
    }
    return true;
}

std::string wav_of(const std::string& name, int rate, double seconds) {
    const std::string path = fixtures::path_in_scratch(name);
    fixtures::write_file(path, fixtures::pcm_wav(fixtures::test_signal(1, rate, seconds), 1, rate));
    return path;
}

std::unique_ptr<FileReader> open(const std::string& path) { return FileReader::open(os::from_utf8(path)); }

FileReaderMP3& mp3_of(FileReader& reader) { return dynamic_cast<FileReaderMP3&>(reader.info()); }

// Where in `whole` the decode `part` begins, searched within radius of guess: the offset at which
// they agree (past the first frames a seek cannot decode); -1 when nowhere.
std::int64_t start_in(const Samples& whole, const Samples& part, std::int64_t guess, std::int64_t radius) {
    constexpr std::size_t settle = 12 * 1152;
    constexpr std::size_t compared = 4000;
    if (part.size() < settle + compared) return -1;
    for (std::int64_t at = std::max<std::int64_t>(0, guess - radius); at <= guess + radius; ++at) {
        const std::size_t from = static_cast<std::size_t>(at) + settle;
        if (from + compared > whole.size()) break;
        bool same = true;
        for (std::size_t i = 0; same && i < compared; ++i) same = std::abs(whole[from + i] - part[settle + i]) <= 1;
        if (same) return at;
    }
    return -1;
}

}  // namespace

TEST(Mp3Length, SmallVbrFileTakesLengthAndSeekTableFromItsXingFrame) {
    if (!have({"lame", "ffprobe", "ffmpeg"})) GTEST_SKIP() << "lame, ffprobe or ffmpeg missing";
    const std::string wav = wav_of("vbr.wav", 44100, 12.2);
    const std::string mp3 = fixtures::path_in_scratch("vbr.mp3");
    ASSERT_TRUE(fixtures::run("lame --quiet -V 5 " + wav + " " + mp3));
    ASSERT_LT(fixtures::read_file(mp3).size(), 100000u);

    auto reader = open(mp3);
    ASSERT_TRUE(reader);
    FileReaderMP3& info = mp3_of(*reader);
    const Mp3StreamHeader& header = info.stream_header();
    ASSERT_TRUE(header.present);
    ASSERT_TRUE(header.has_gapless);
    EXPECT_EQ(header.seek_table.size(), 101u);
    // What plays is exactly what was encoded, as ffmpeg plays it; ffprobe's duration also counts
    // the encoder's delay and padding, which its start time and LAME's extension describe.
    const long long input = static_cast<long long>(12.2 * 44100);
    EXPECT_EQ(info.length(), input);
    EXPECT_EQ(ffmpeg_samples(mp3), input);
    EXPECT_NEAR(info.duration(), 12.2, 1e-9);
    EXPECT_NEAR(ffprobe_duration(mp3), (info.duration() * 44100 + header.delay + header.padding) / 44100, 1e-4);
    EXPECT_NEAR(info.bit_rate(), fixtures::read_file(mp3).size() * 8 / 12.25, 2000);
    const Samples whole = pull_all(*reader);
    ASSERT_EQ(static_cast<long long>(whole.size()), input);

    // A seek through the table lands within a few frames of the time asked for, and the reader
    // knows as closely where it landed: the table, in 256ths of the file, is all it has to go by.
    for (const double seconds : {7.77, 0.5, 11.5}) {
        SCOPED_TRACE(seconds);
        ASSERT_TRUE(reader->seek(info.position_of_time(seconds)));
        const std::int64_t landed = info.position();
        const Samples rest = pull_all(*reader);
        const std::int64_t truth = start_in(whole, rest, landed, 8 * 1152);
        ASSERT_GE(truth, 0);
        EXPECT_NEAR(static_cast<double>(truth), seconds * 44100, 4 * 1152);
        EXPECT_NEAR(static_cast<double>(landed), static_cast<double>(truth), 4 * 1152);
        EXPECT_NEAR(static_cast<double>(rest.size()), static_cast<double>(input - truth), 4 * 1152);
    }
}

TEST(Mp3Length, TagsAreNotAudio) {
    if (!have({"lame", "ffprobe", "id3v2"}) || !fixtures::run("/usr/bin/python3 -c 'import mutagen'")) {
        GTEST_SKIP() << "lame, ffprobe, id3v2 or python3-mutagen missing";
    }
    // Without an info frame the length follows from the bit rate, over the audio bytes only.
    const std::string wav = wav_of("call.wav", 44100, 2.85);
    const std::string plain = fixtures::path_in_scratch("plain.mp3");
    ASSERT_TRUE(fixtures::run("lame --quiet -t -b 64 " + wav + " " + plain));
    auto reader = open(plain);
    ASSERT_TRUE(reader);
    const double untagged = reader->info().duration();
    const double frame = 1152.0 / 44100;
    EXPECT_NEAR(untagged, ffprobe_duration(plain), frame);
    EXPECT_NEAR(untagged, 2.85, 2 * frame);

    // A 150 KB contact picture (ID3v2.4 by mutagen), a 2 KB comment (ID3v2.3 by id3v2) and an
    // ID3v1 tag change nothing.
    const std::string picture = fixtures::path_in_scratch("picture.mp3");
    const std::string comment = fixtures::path_in_scratch("comment.mp3");
    const std::string v1 = fixtures::path_in_scratch("v1.mp3");
    for (const std::string& copy : {picture, comment, v1}) fixtures::write_file(copy, fixtures::read_file(plain));
    ASSERT_TRUE(
        fixtures::run("/usr/bin/python3 -c \"import sys; from mutagen.id3 import ID3, APIC; t = ID3(); "
                      "t.add(APIC(encoding=0, mime='image/jpeg', type=3, desc='', "
                      "data=b'\\xff\\xd8\\xff\\xe0' + bytes(150000))); t.save(sys.argv[1])\" " +
                      picture));
    ASSERT_TRUE(fixtures::run("id3v2 -2 -c " + std::string(2000, 'x') + " " + comment));
    ASSERT_TRUE(fixtures::run("id3v2 -1 -t 'Old title' -a Someone " + v1));
    ASSERT_GT(fixtures::read_file(picture).size(), 150000u);
    for (const std::string& tagged : {picture, comment, v1}) {
        auto other = open(tagged);
        ASSERT_TRUE(other) << tagged;
        EXPECT_DOUBLE_EQ(other->info().duration(), untagged) << tagged;
        EXPECT_EQ(pull_all(*other).size(), pull_all(*open(plain)).size()) << tagged;
    }
    EXPECT_NEAR(untagged, ffprobe_duration(picture), frame);
    EXPECT_NEAR(untagged, ffprobe_duration(comment), frame);

    // With LAME's info frame behind the picture, the length is exact.
    const std::string info = fixtures::path_in_scratch("info.mp3");
    ASSERT_TRUE(fixtures::run("lame --quiet -b 64 " + wav + " " + info));
    ASSERT_TRUE(
        fixtures::run("/usr/bin/python3 -c \"import sys; from mutagen.id3 import ID3, APIC; t = ID3(); "
                      "t.add(APIC(encoding=0, mime='image/jpeg', type=3, desc='', "
                      "data=b'\\xff\\xd8\\xff\\xe0' + bytes(150000))); t.save(sys.argv[1])\" " +
                      info));
    auto exact = open(info);
    ASSERT_TRUE(exact);
    EXPECT_EQ(exact->info().length(), static_cast<std::int64_t>(2.85 * 44100));
}

TEST(Mp3Length, ApeAndId3v1TagsAtTheEndAreCutOff) {
    // Frames of silence (128 kbit/s, 44.1 kHz, no padding), then an APE tag, then ID3v1.
    std::vector<std::uint8_t> file;
    for (int i = 0; i < 30; ++i) {
        const std::uint8_t header[4] = {0xFF, 0xFB, 0x90, 0x44};
        file.insert(file.end(), header, header + 4);
        file.resize(file.size() + 413, 0);
    }
    const std::size_t audio = file.size();
    std::vector<std::uint8_t> ape(32 + 40 + 32, 0);
    std::copy_n("APETAGEX", 8, ape.begin());
    ape[12] = 40 + 32;                                    // items and footer
    ape[23] = 0x80 | 0x20;                                // has a header; this is the header
    std::fill(ape.begin() + 32, ape.begin() + 72, 0xFF);  // items that look like frame syncs
    std::copy_n("APETAGEX", 8, ape.begin() + 72);
    ape[72 + 12] = 40 + 32;
    ape[72 + 23] = 0x80;
    file.insert(file.end(), ape.begin(), ape.end());
    std::vector<std::uint8_t> v1(128, 0);
    std::copy_n("TAG", 3, v1.begin());
    file.insert(file.end(), v1.begin(), v1.end());
    const std::string path = fixtures::path_in_scratch("ape.mp3");
    fixtures::write_file(path, file);
    FileReaderMP3 reader(os::from_utf8(path));
    ASSERT_TRUE(reader.is_valid());
    EXPECT_EQ(reader.audio_end(), static_cast<std::int64_t>(audio));
    auto whole = open(path);
    EXPECT_EQ(pull_all(*whole).size(), 30u * 1152 * 2);
}

namespace {

// Records as the application does: the tag, then the writer appending 200 ms blocks.
void record(const std::string& path, const Samples& pcm, int rate, int bit_rate) {
    {
        Id3Tag tag;
        tag.set_text("TIT2", u"Ours");
        os::File file(os::from_utf8(path), os::File::Write);
        ASSERT_TRUE(tag.write(file));
    }
    Mp3Writer writer(os::from_utf8(path), true, bit_rate);
    const std::size_t step = static_cast<std::size_t>(rate / 5);
    for (std::size_t i = 0; i < pcm.size(); i += step) {
        const std::size_t n = std::min(step, pcm.size() - i);
        writer.on_data(AudioBlock(pcm.data() + i, n * 2, AudioFormat{1, 16, rate}));
    }
}

}  // namespace

TEST(Mp3Length, OurRecordingsPlayBackExactlyWhatWasRecorded) {
    struct Format {
        const char* name;
        int rate;
        int bit_rate;
    };
    for (const Format& format :
         {Format{"Mp3Low", 22050, 32000}, Format{"Mp3Middle", 44100, 64000}, Format{"Mp3High", 44100, 96000}}) {
        SCOPED_TRACE(format.name);
        const Samples input = fixtures::test_signal(1, format.rate, 3.03);
        const std::string path = fixtures::path_in_scratch(std::string(format.name) + ".mp3");
        record(path, input, format.rate, format.bit_rate);

        auto reader = open(path);
        ASSERT_TRUE(reader);
        EXPECT_TRUE(mp3_of(*reader).stream_header().has_gapless);
        EXPECT_EQ(reader->info().length(), static_cast<std::int64_t>(input.size()));
        const Samples output = pull_all(*reader);
        ASSERT_EQ(output.size(), input.size());
        // The first sound comes on time: no lag against what was recorded.
        int lag = 99;
        const double snr = fixtures::snr_db(input, output, 1, 1200, &lag);
        EXPECT_EQ(lag, 0);
        EXPECT_GT(snr, 15.0);

        // A seek lands on the frame that holds the time, and the reader says so.
        ASSERT_TRUE(reader->seek(reader->info().position_of_time(1.77)));
        const std::int64_t landed = reader->info().position();
        const int frame = format.rate == 22050 ? 576 : 1152;
        EXPECT_LE(landed, static_cast<std::int64_t>(1.77 * format.rate));
        EXPECT_GT(landed + frame, static_cast<std::int64_t>(1.77 * format.rate));
        const Samples rest = pull_all(*reader);
        EXPECT_EQ(rest.size(), output.size() - static_cast<std::size_t>(landed));
        EXPECT_EQ(start_in(output, rest, landed, 4 * frame), landed);

        if (have({"ffprobe", "ffmpeg"})) {
            // Every format has its info frame, so nobody estimates from the bit rate.
            const std::string probe = output_of("ffprobe -v warning -hide_banner " + quoted(path) + " 2>&1; true");
            EXPECT_EQ(probe.find("Estimating duration"), std::string::npos) << probe;
            EXPECT_EQ(ffmpeg_samples(path), static_cast<long long>(input.size()));
        }
        if (have({"mpg123"})) {
            const long long mpg123 = std::atoll(output_of("mpg123 -q -s " + quoted(path) + " | wc -c").c_str()) / 2;
            EXPECT_EQ(mpg123, static_cast<long long>(input.size()));
        }
        // quillon-tool decode plays it the same way.
        const std::string decoded = fixtures::path_in_scratch(std::string(format.name) + ".wav");
        ASSERT_TRUE(fixtures::run(std::string(QUILLON_BIN_DIR) + "/quillon-tool decode " + path + " " + decoded));
        EXPECT_EQ(fixtures::wav_samples(decoded).size(), input.size());
    }
}

TEST(Mp3Length, VbriFrameGivesCountAndTable) {
    // A VBRI frame (as Fraunhofer's encoders write) in front of 40 frames of silence at 128 and
    // 64 kbit/s: 20 of each, so only the table puts a seek in the right place.
    std::vector<std::uint8_t> file(417, 0);
    const std::uint8_t first[4] = {0xFF, 0xFB, 0x90, 0x44};
    std::copy_n(first, 4, file.begin());
    std::uint8_t* v = file.data() + 36;
    std::copy_n("VBRI", 4, v);
    v[5] = 1;                                               // version
    const std::uint32_t bytes = 417 + 20 * 417 + 20 * 208;  // the whole stream
    for (int i = 0; i < 4; ++i) v[10 + i] = static_cast<std::uint8_t>(bytes >> (24 - 8 * i));
    v[17] = 40;  // frames
    v[19] = 4;   // table entries
    v[21] = 1;   // scale
    v[23] = 2;   // bytes an entry
    v[25] = 10;  // frames an entry
    for (int i = 0; i < 4; ++i) {
        const int run = i < 2 ? 10 * 417 : 10 * 208;
        v[26 + 2 * i] = static_cast<std::uint8_t>(run >> 8);
        v[27 + 2 * i] = static_cast<std::uint8_t>(run & 0xFF);
    }
    for (int i = 0; i < 40; ++i) {
        const std::uint8_t header[4] = {0xFF, 0xFB, static_cast<std::uint8_t>(i < 20 ? 0x90 : 0x50), 0x44};
        file.insert(file.end(), header, header + 4);
        file.resize(file.size() + (i < 20 ? 413 : 204), 0);
    }
    const std::string path = fixtures::path_in_scratch("vbri.mp3");
    fixtures::write_file(path, file);
    auto reader = open(path);
    ASSERT_TRUE(reader);
    FileReaderMP3& info = mp3_of(*reader);
    EXPECT_TRUE(info.stream_header().present);
    EXPECT_EQ(info.audio_start(), 417);
    EXPECT_EQ(info.length(), 40 * 1152);
    EXPECT_EQ(pull_all(*reader).size(), 40u * 1152 * 2);
    // Frame 30 lies 20 × 417 + 10 × 208 bytes in, not three quarters of the way.
    ASSERT_TRUE(reader->seek(30 * 1152));
    EXPECT_EQ(info.position(), 30 * 1152);
    EXPECT_EQ(pull_all(*reader).size(), 10u * 1152 * 2);
}

TEST(Mp3Length, LowRecordingsShowTheirTrueLengthInOtherPlayers) {
    // Mp3Low's frames are too small for the info tag, so its info frame has a larger bit rate than
    // the audio behind it: players must count frames rather than divide by that bit rate.
    const Samples input = fixtures::test_signal(1, 22050, 12.0);
    const std::string path = fixtures::path_in_scratch("low_12s.mp3");
    record(path, input, 22050, 32000);
    const double seconds = 12.0;
    if (have({"eyeD3"})) {
        const std::string text = output_of("eyeD3 " + quoted(path));
        EXPECT_NE(text.find("Time: 00:12"), std::string::npos) << text;
    }
    if (have({"exiftool"})) {
        const double exif = std::atof(output_of("exiftool -s3 -Duration " + quoted(path)).c_str());
        EXPECT_NEAR(exif, seconds, 0.1);
    }
    if (have({"mediainfo"})) {
        const double ms = std::atof(output_of("mediainfo --Inform='Audio;%Duration%' " + quoted(path)).c_str());
        EXPECT_NEAR(ms / 1000.0, seconds, 0.1);
    }
    if (have({"ffprobe"})) {
        EXPECT_NEAR(ffprobe_duration(path), seconds, 0.1);
    }
    if (have({"mpg123"})) {
        const long long mpg123 = std::atoll(output_of("mpg123 -q -s " + quoted(path) + " | wc -c").c_str()) / 2;
        EXPECT_EQ(mpg123, static_cast<long long>(input.size()));
    }
    auto reader = open(path);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->info().length(), static_cast<std::int64_t>(input.size()));
}

TEST(Mp3Length, VbrWithoutXingFrameIsCountedFrameByFrame) {
    if (!have({"lame", "ffmpeg"})) GTEST_SKIP() << "lame or ffmpeg missing";
    // -t: no Xing frame; small enough that no bit rate is sampled, and a larger one where the
    // sampled rates differ.
    for (const double seconds : {12.2, 40.0}) {
        SCOPED_TRACE(seconds);
        const std::string wav = wav_of("vbr_plain.wav", 44100, seconds);
        const std::string mp3 = fixtures::path_in_scratch("vbr_plain.mp3");
        ASSERT_TRUE(fixtures::run("lame --quiet -t -V 2 " + wav + " " + mp3));
        auto reader = open(mp3);
        ASSERT_TRUE(reader);
        FileReaderMP3& info = mp3_of(*reader);
        ASSERT_FALSE(info.stream_header().present);
        EXPECT_TRUE(info.frames_counted());
        // ffmpeg decodes every frame (it knows of no delay without LAME's extension).
        const long long truth = ffmpeg_samples(mp3);
        EXPECT_NEAR(static_cast<double>(info.length()), static_cast<double>(truth), 1152);
        const Samples whole = pull_all(*reader);
        EXPECT_NEAR(static_cast<double>(whole.size()), static_cast<double>(truth), 1152);

        // Seeks land on the frame that holds the time, and the reader knows which one it is.
        for (const double at : {seconds * 0.6, 0.5, seconds - 1.0}) {
            SCOPED_TRACE(at);
            ASSERT_TRUE(reader->seek(info.position_of_time(at)));
            const std::int64_t landed = info.position();
            EXPECT_LE(landed, static_cast<std::int64_t>(at * 44100));
            EXPECT_GT(landed + 1152, static_cast<std::int64_t>(at * 44100));
            const Samples rest = pull_all(*reader);
            EXPECT_EQ(start_in(whole, rest, landed, 4 * 1152), landed);
            EXPECT_EQ(rest.size(), whole.size() - static_cast<std::size_t>(landed));
        }
    }
}

TEST(Mp3Length, KilledLowRecordingShowsItsTrueLength) {
    // A recording killed before it finished keeps its info frame's placeholder: a frame of the
    // larger bit rate with nothing in it, in front of frames of the smaller one.
    const Samples input = fixtures::test_signal(1, 22050, 2.95);
    const std::string path = fixtures::path_in_scratch("killed_low.mp3");
    record(path, input, 22050, 32000);
    std::vector<std::uint8_t> bytes = fixtures::read_file(path);
    ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "ID3");
    const std::size_t first = 10 + ((bytes[6] << 21) | (bytes[7] << 14) | (bytes[8] << 7) | bytes[9]);
    const std::size_t xing = first + 4 + 9;
    ASSERT_EQ(std::string(bytes.begin() + xing, bytes.begin() + xing + 4), "Xing");
    std::fill(bytes.begin() + first + 4, bytes.begin() + first + 182, 0);
    fixtures::write_file(path, bytes);

    auto reader = open(path);
    ASSERT_TRUE(reader);
    EXPECT_FALSE(mp3_of(*reader).stream_header().present);
    // Without the encoder's delay and padding known, the frames hold a little more than the input.
    EXPECT_NEAR(reader->info().duration(), 2.95, 0.15);
    EXPECT_GE(reader->info().duration(), 2.95);
}

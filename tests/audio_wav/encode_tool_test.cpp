// quillon-tool encode end to end: every codec through the real recording chain, and the refusals
// that must leave no file (or an untouched one) behind.
#include <gtest/gtest.h>

#include <string>

#include "tests/audio_wav/format_test_support.h"
#include "tests/support/wav_file.h"

namespace {

using ToolRun = format_test::Run;

const std::string kTool = std::string(QUILLON_BIN_DIR) + "/quillon-tool";

// A PCM WAV written by hand: the tool must not need anything but our own header code to read it.
void write_input(const std::string& path, int seconds, int channels, int rate, int bits) {
    const std::vector<int16_t> samples = format_test::tone(seconds * rate, channels, rate, 350.0, 6000.0);
    std::vector<uint8_t> data;
    for (int16_t s : samples) {
        if (bits == 16) {
            data.push_back(static_cast<uint8_t>(s & 0xFF));
            data.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
        } else {
            data.push_back(static_cast<uint8_t>(128 + s / 256));
        }
    }
    const std::string bytes = test_support::wav_bytes(channels, rate, bits, data);
    format_test::write_file(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

ToolRun encode(const std::string& arguments) { return format_test::run("'" + kTool + "' encode " + arguments); }

TEST(EncodeTool, EveryCodecThroughTheRecordingChain) {
    format_test::TempRoot root;
    const std::string in8 = root.path("in8.wav");
    const std::string in44 = root.path("in44.wav");
    write_input(in8, 2, 1, 8000, 16);
    write_input(in44, 2, 1, 44100, 16);

    const ToolRun mp3 = encode("'" + in44 + "' '" + root.path("a.mp3") +
                               "' --codec mp3 --format Mp3High --boost Boost1 --tag TPE1=Caller --tag TIT2=Zo\xc3\xab");
    ASSERT_EQ(mp3.status, 0) << mp3.output;
    EXPECT_NE(mp3.output.find("\"seconds\": 2.000"), std::string::npos) << mp3.output;
    const std::vector<uint8_t> bytes = format_test::read_file(root.path("a.mp3"));
    ASSERT_GT(bytes.size(), 1034u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "ID3");

    for (const std::string codec : {"PCM", "ADPCM", "GSM"}) {
        const std::string out = root.path(codec + ".wav");
        const ToolRun result = encode("'" + in8 + "' '" + out + "' --codec " + codec);
        ASSERT_EQ(result.status, 0) << codec << ": " << result.output;
        // Continuing adds the second recording after the first.
        const ToolRun again = encode("'" + in8 + "' '" + out + "' --codec " + codec + " --append");
        ASSERT_EQ(again.status, 0) << codec << ": " << again.output;
        format_test::expect_ffmpeg_decodes_cleanly(out);
        if (format_test::has_program("soxi")) {
            EXPECT_EQ(format_test::run("soxi -s '" + out + "'").output, "32000\n") << codec;
        }
    }
    format_test::expect_ffmpeg_decodes_cleanly(root.path("a.mp3"));
    if (format_test::has_program("mpg123")) {
        // Every recorded sample comes back, the end included.
        const ToolRun decoded = format_test::run("mpg123 -q -s '" + root.path("a.mp3") + "' | wc -c");
        EXPECT_EQ(std::stoll(decoded.output), 2 * 2 * 44100);
    }
    if (format_test::has_program("ffprobe")) {
        const ToolRun tags = format_test::run("ffprobe -v error -show_entries format_tags=title,artist -of compact '" +
                                              root.path("a.mp3") + "'");
        EXPECT_NE(tags.output.find("title=Zo\xc3\xab"), std::string::npos) << tags.output;
        EXPECT_NE(tags.output.find("artist=Caller"), std::string::npos) << tags.output;
    }
}

TEST(EncodeTool, RefusalsLeaveNothingHalfWritten) {
    format_test::TempRoot root;
    const std::string in16k = root.path("in16k.wav");
    const std::string in8bit = root.path("in8bit.wav");
    write_input(in16k, 1, 1, 16000, 16);
    write_input(in8bit, 1, 1, 8000, 8);
    format_test::write_file(root.path("junk.wav"), std::vector<uint8_t>(300, 7));

    ToolRun result = encode("'" + in16k + "' '" + root.path("g.wav") + "' --codec GSM");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find("GSM takes only 8000 Hz 16-bit mono"), std::string::npos) << result.output;
    EXPECT_FALSE(std::filesystem::exists(root.path("g.wav")));

    result = encode("'" + in8bit + "' '" + root.path("a.wav") + "' --codec ADPCM");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find("ADPCM takes only 16-bit"), std::string::npos) << result.output;
    EXPECT_FALSE(std::filesystem::exists(root.path("a.wav")));

    result = encode("'" + root.path("junk.wav") + "' '" + root.path("m.mp3") + "' --codec mp3");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find("is not a PCM WAV file"), std::string::npos) << result.output;
    EXPECT_FALSE(std::filesystem::exists(root.path("m.mp3")));

    // Continuing a file of another codec (or no WAV at all) leaves it exactly as it was.
    const std::vector<uint8_t> junk = format_test::read_file(root.path("junk.wav"));
    result = encode("'" + in16k + "' '" + root.path("junk.wav") + "' --codec PCM --append");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(format_test::read_file(root.path("junk.wav")), junk);
    result = encode("'" + in16k + "' '" + root.path("junk.wav") + "' --codec mp3 --append");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(format_test::read_file(root.path("junk.wav")), junk);

    result = encode("'" + in16k + "' '" + root.path("x.mp3") + "' --codec ogg");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(std::count(result.output.begin(), result.output.end(), '\n'), 1) << result.output;
}

}  // namespace

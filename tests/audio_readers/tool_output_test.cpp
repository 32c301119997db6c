// quillon-tool writes what it says: comment frames other tools read, boost to the last sample,
// playback at the saved volume, and recordings of exactly the seconds asked for.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "tests/audio_readers/fixtures.h"

namespace {

using Samples = std::vector<std::int16_t>;

std::string tool() { return std::string(QUILLON_BIN_DIR) + "/quillon-tool"; }

// Standard output and error of a command line, and whether it exited with 0.
bool capture(const std::string& command, std::string& out) {
    out.clear();
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return false;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    return pclose(pipe) == 0;
}

std::string wav_of(const std::string& name, int rate, double seconds, double gain) {
    Samples samples = fixtures::test_signal(1, rate, seconds);
    for (auto& s : samples) s = static_cast<std::int16_t>(std::lround(s * gain));
    const std::string path = fixtures::path_in_scratch(name);
    fixtures::write_file(path, fixtures::pcm_wav(samples, 1, rate));
    return path;
}

double rms(const Samples& samples, std::size_t from, std::size_t count) {
    double sum = 0;
    for (std::size_t i = from; i < from + count && i < samples.size(); ++i) sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / static_cast<double>(count));
}

int peak(const Samples& samples) {
    int most = 0;
    for (const auto s : samples) most = std::max(most, std::abs(static_cast<int>(s)));
    return most;
}

}  // namespace

TEST(ToolOutput, CommentFramesReadAsComments) {
    const std::string wav = wav_of("comment_source.wav", 22050, 1.0, 0.5);
    for (const std::string text : {"hello there", "h\xc3\xa9llo"}) {
        const std::string mp3 = fixtures::path_in_scratch("comment.mp3");
        std::string out;
        ASSERT_TRUE(capture(tool() + " encode " + wav + " " + mp3 + " --codec mp3 --tag 'COMM=" + text + "'", out))
            << out;
        if (fixtures::has_program("mpg123")) {
            ASSERT_TRUE(capture("mpg123 -v -t " + mp3, out));
            EXPECT_EQ(out.find("No comment text"), std::string::npos) << out;
            EXPECT_NE(out.find("Comment: " + text), std::string::npos) << out;
        }
        if (fixtures::has_program("eyeD3")) {
            ASSERT_TRUE(capture("eyeD3 " + mp3, out));
            EXPECT_NE(out.find("[Lang: eng]\n" + text), std::string::npos) << out;
        }
    }
}

TEST(ToolOutput, BoostReachesTheLastSamples) {
    const int rate = 16000;
    const std::string quiet = wav_of("quiet.wav", rate, 1.0, 0.12);
    const std::string boosted = fixtures::path_in_scratch("boosted.wav");
    std::string out;
    ASSERT_TRUE(capture(tool() + " encode " + quiet + " " + boosted + " --codec PCM --boost Boost3", out)) << out;
    const Samples in = fixtures::wav_samples(quiet);
    const Samples result = fixtures::wav_samples(boosted);
    ASSERT_EQ(result.size(), in.size());
    const std::size_t tail = rate / 10;
    const double middle_gain = rms(result, rate / 2, tail) / rms(in, rate / 2, tail);
    const double tail_gain = rms(result, in.size() - tail, tail) / rms(in, in.size() - tail, tail);
    EXPECT_GT(middle_gain, 2.0);
    EXPECT_GT(tail_gain, 0.8 * middle_gain);
}

TEST(ToolOutput, RecordsExactlyTheSecondsAskedForAndPlaysAtTheSavedVolume) {
    // A minute of microphone that is not paced in real time: the recording must still hold 3 s.
    const std::string mic = wav_of("minute.wav", 16000, 60.0, 0.9);
    // The beeps go to a file too, so no sound system is asked for.
    const std::string env = "QUILLON_AUDIO_PACE=0 QUILLON_AUDIO_IN=" + mic +
                            " QUILLON_AUDIO_OUT=" + fixtures::path_in_scratch("beeps.wav") + " ";
    std::string path;
    ASSERT_TRUE(capture(env + tool() + " record --seconds 3 --format PCM", path)) << path;
    // The path is the last line.
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
    path = path.substr(path.rfind('\n') == std::string::npos ? 0 : path.rfind('\n') + 1);
    const Samples recorded = fixtures::wav_samples(path);
    EXPECT_EQ(recorded.size(), 3u * 16000);

    std::string out;
    ASSERT_TRUE(capture(tool() + " settings Volume 0.25", out)) << out;
    const std::string speaker = fixtures::path_in_scratch("speaker.wav");
    ASSERT_TRUE(
        capture("QUILLON_AUDIO_PACE=0 QUILLON_AUDIO_OUT=" + speaker + " " + tool() + " play '" + path + "'", out))
        << out;
    const Samples played = fixtures::wav_samples(speaker);
    ASSERT_FALSE(played.empty());
    EXPECT_NEAR(peak(played), 0.25 * peak(recorded), 0.02 * peak(recorded));
    ASSERT_TRUE(capture(tool() + " settings Volume 1", out)) << out;
}

TEST(ToolOutput, RenameRetitlesTagsOfOtherPrograms) {
    if (!fixtures::has_program("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    // A WAV with a LIST/INFO chunk, as ffmpeg and editors write it, in the recordings folder.
    const std::string folder = fixtures::scratch() + "/Documents/My Quillon";
    ASSERT_TRUE(fixtures::run("mkdir -p '" + folder + "'"));
    const std::string source = wav_of("rename_source.wav", 16000, 1.0, 0.5);
    const std::string take = folder + "/take.wav";
    ASSERT_TRUE(fixtures::run("ffmpeg -v error -y -i " + source + " -metadata artist=Studio -metadata title=Take '" +
                              take + "'"));
    std::string out;
    ASSERT_TRUE(capture(tool() + " rename '" + take + "' 'Second take'", out)) << out;
    const std::string renamed = folder + "/Studio Second take.wav";
    ASSERT_TRUE(capture(tool() + " info '" + renamed + "'", out)) << out;
    EXPECT_NE(out.find("\"artist\": \"Studio\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"title\": \"Second take\""), std::string::npos) << out;
    ASSERT_TRUE(capture("ffprobe -v error -show_entries format_tags=title -of csv=p=0 '" + renamed + "'", out));
    EXPECT_NE(out.find("Second take"), std::string::npos) << out;
    EXPECT_EQ(fixtures::wav_samples(renamed), fixtures::wav_samples(source));
}

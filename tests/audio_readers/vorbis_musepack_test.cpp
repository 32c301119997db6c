#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <thread>

#include "audio/musepack/file_reader_musepack.h"
#include "audio/readers/file_reader.h"
#include "audio/vorbis/file_reader_vorbis.h"
#include "os/text.h"
#include "tests/audio_readers/fixtures.h"
#include "tests/audio_readers/pull.h"

namespace {

std::string source_wav(const std::string& name, int channels, int rate, double seconds) {
    const std::string path = fixtures::path_in_scratch(name);
    fixtures::write_file(path, fixtures::pcm_wav(fixtures::test_signal(channels, rate, seconds), channels, rate));
    return path;
}

}  // namespace

TEST(FileReaderVorbis, PlaysOggencFilesLikeOggdecInPullsOfAtMost8192Frames) {
    if (!fixtures::has_program("oggenc") || !fixtures::has_program("oggdec")) GTEST_SKIP() << "vorbis-tools missing";
    const std::string wav = source_wav("vorbis_source.wav", 2, 44100, 3.0);
    const std::string ogg = fixtures::path_in_scratch("named_like.wav");  // the name plays no part
    const std::string decoded = fixtures::path_in_scratch("oggdec.wav");
    ASSERT_TRUE(fixtures::run("oggenc -Q -q 4 -o " + ogg + " " + wav));
    ASSERT_TRUE(fixtures::run("oggdec -Q -o " + decoded + " " + ogg));

    auto reader = FileReader::open(os::from_utf8(ogg));
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->codec(), u"Vorbis");
    EXPECT_EQ(reader->info().channels(), 2);
    EXPECT_EQ(reader->info().rate(), 44100);
    EXPECT_EQ(reader->info().bits(), 16);
    EXPECT_EQ(reader->info().length(), 3 * 44100);
    EXPECT_NEAR(reader->info().duration(), 3.0, 1e-9);
    // The measured average, far below the nominal rate for so plain a signal.
    EXPECT_GT(reader->info().bit_rate(), 8000);

    AudioBlock first = reader->output().get_data(16384);
    EXPECT_LE(first.frames(), FileReaderVorbis::max_frames_per_pull);
    EXPECT_GT(first.frames(), 0);
    reader->seek(0);
    std::vector<std::int16_t> ours = pull_all(*reader);
    EXPECT_TRUE(reader->info().is_at_end());
    const std::vector<std::int16_t> theirs = fixtures::wav_samples(decoded);
    EXPECT_EQ(ours.size(), theirs.size());
    int lag = 99;
    const double snr = fixtures::snr_db(theirs, ours, 2, 64, &lag);
    std::printf("Vorbis against oggdec: SNR %.1f dB, lag %d\n", snr, lag);
    // Tremor's integer arithmetic against libvorbis' floats: a few LSB apart.
    EXPECT_GT(snr, 60.0);
    EXPECT_EQ(lag, 0);

    // Seeking by frames lands where asked.
    ASSERT_TRUE(reader->seek(44100));
    EXPECT_EQ(reader->info().position(), 44100);
}

TEST(FileReaderMusepack, ServesOneFrameOverTwoPullsAndMatchesMpcdec) {
    if (!fixtures::has_program("mpcenc") || !fixtures::has_program("mpcdec")) GTEST_SKIP() << "musepack-tools missing";
    const std::string wav = source_wav("mpc_source.wav", 2, 44100, 3.0);
    const std::string mpc = fixtures::path_in_scratch("stream.mpc");
    const std::string decoded = fixtures::path_in_scratch("mpcdec.wav");
    ASSERT_TRUE(fixtures::run("mpcenc --silent --overwrite --standard " + wav + " " + mpc));
    ASSERT_TRUE(fixtures::run("mpcdec " + mpc + " " + decoded));

    FileReaderMusepack direct(os::from_utf8(mpc));
    ASSERT_TRUE(direct.is_valid());
    // The first frame is shortened by the decoder's start-up delay; the next ones are whole.
    AudioBlock first = direct.get_data(4096);
    ASSERT_GT(first.frames(), 0);
    const std::int64_t before = direct.frames_decoded();
    AudioBlock a = direct.get_data(576);
    EXPECT_EQ(direct.frames_decoded(), before + 1152);
    AudioBlock b = direct.get_data(576);
    EXPECT_EQ(a.frames(), 576);
    EXPECT_EQ(b.frames(), 576);
    EXPECT_EQ(direct.frames_decoded(), before + 1152);  // the second half came from the held frame
    EXPECT_EQ(direct.position(), first.frames() + 1152);

    auto reader = FileReader::open(os::from_utf8(mpc));
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->codec(), u"MPC");
    EXPECT_EQ(reader->info().channels(), 2);
    EXPECT_EQ(reader->info().rate(), 44100);
    EXPECT_NEAR(reader->info().duration(), 3.0, 0.05);
    const std::vector<std::int16_t> ours = pull_all(*reader);
    const std::vector<std::int16_t> theirs = fixtures::wav_samples(decoded);
    int lag = 99;
    const double snr = fixtures::snr_db(theirs, ours, 2, 1200, &lag);
    std::printf("Musepack against mpcdec: SNR %.1f dB, lag %d, %zu vs %zu samples\n", snr, lag, ours.size(),
                theirs.size());
    EXPECT_GT(snr, 60.0);
    EXPECT_EQ(lag, 0);
}

TEST(Readers, OggAndMusepackSignaturesAloneAreNotEnough) {
    const std::string path = fixtures::path_in_scratch("fake.ogg");
    std::vector<std::uint8_t> bytes = {'O', 'g', 'g', 'S'};
    bytes.resize(5000, 0x41);
    fixtures::write_file(path, bytes);
    EXPECT_FALSE(FileReaderVorbis(os::from_utf8(path)).is_valid());
    bytes[0] = 'M', bytes[1] = 'P', bytes[2] = 'C', bytes[3] = 'K';
    fixtures::write_file(path, bytes);
    EXPECT_FALSE(FileReaderMusepack(os::from_utf8(path)).is_valid());
    EXPECT_FALSE(FileReader::open(os::from_utf8(path)));
}

namespace {

// Runs fn on a thread of its own; a reader that hangs fails the test and ends the process rather
// than holding up the whole run until the ctest timeout.
void must_finish(const std::string& what, const std::function<void()>& fn) {
    std::packaged_task<void()> task(fn);
    std::future<void> done = task.get_future();
    std::thread(std::move(task)).detach();
    if (done.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        ADD_FAILURE() << what << " does not end";
        std::fflush(nullptr);
        std::_Exit(1);
    }
}

}  // namespace

// A file cut short still says in its header how long it was. A seek into the part that is gone
// fails or stops at the end, promptly; a seek into the part still there plays on.
TEST(Readers, SeeksIntoTheMissingPartOfACutFileEndPromptly) {
    const std::string wav = source_wav("cut_source.wav", 2, 44100, 30.0);
    struct Case {
        const char* program;
        std::string file;
        std::string command;
    };
    const std::string mpc = fixtures::path_in_scratch("cut.mpc");
    const std::string ogg = fixtures::path_in_scratch("cut.ogg");
    const std::vector<Case> cases = {
        {"mpcenc", mpc, "mpcenc --silent --overwrite --standard " + wav + " " + mpc},
        {"oggenc", ogg, "oggenc -Q -q 2 -o " + ogg + " " + wav},
    };
    int tried = 0;
    for (const Case& c : cases) {
        if (!fixtures::has_program(c.program)) continue;
        SCOPED_TRACE(c.file);
        ASSERT_TRUE(fixtures::run(c.command));
        std::vector<std::uint8_t> bytes = fixtures::read_file(c.file);
        bytes.resize(bytes.size() / 3);
        fixtures::write_file(c.file, bytes);
        std::unique_ptr<FileReader> reader = FileReader::open(os::from_utf8(c.file));
        ASSERT_TRUE(reader);
        StreamInfo& info = reader->info();
        // Inside what is left: the reader plays from there.
        must_finish("a seek to 2 s", [&] { EXPECT_TRUE(reader->seek(info.position_of_time(2.0))); });
        EXPECT_FALSE(reader->output().get_data(4096).is_empty());
        // Past it (at 9 s, 29 s and the header's end): the seek ends, and so does playing.
        for (const double seconds : {9.0, 29.0, 30.0}) {
            must_finish("a seek to " + std::to_string(seconds) + " s", [&] {
                (void)reader->seek(info.position_of_time(seconds));
                int pulls = 0;
                while (!reader->output().get_data(16384).is_empty()) ASSERT_LT(++pulls, 200);
            });
        }
        ++tried;
    }
    if (tried == 0) GTEST_SKIP() << "no encoder to make the files";
}

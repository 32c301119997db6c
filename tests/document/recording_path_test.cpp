// The recording path from the microphone to the file: nothing captured before the stop is lost,
// voice activation keeps the first syllable, a recording without audio leaves nothing behind,
// checkpoints reach the disk from the writer's thread, and long caller names still record.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "audio/readers/file_reader.h"
#include "os/file.h"
#include "os/file_system.h"
#include "os/path.h"
#include "os/stopwatch.h"
#include "os/text.h"
#include "tests/document/document_test_support.h"
#include "tests/support/wav_file.h"

namespace {

using document_test::DocumentFixture;

const RecordFormat pcm_format{u"PCM", 1, 16, 16000, 256000};

double file_duration(const std::u16string& path) {
    std::unique_ptr<FileReader> reader = FileReader::open(path);
    return reader ? reader->info().duration() : -1.0;
}

// The samples of a 16-bit mono PCM WAV that we wrote (44-byte header).
std::vector<int16_t> wav_samples(const std::u16string& path) {
    const std::string bytes = read_bytes(os::to_utf8(path));
    std::vector<int16_t> samples;
    for (size_t at = 44; at + 1 < bytes.size(); at += 2) {
        samples.push_back(
            static_cast<int16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8));
    }
    return samples;
}

// A 16 kHz microphone: silence, a burst of tone, silence.
void write_burst(const std::string& path, double before, double burst, double after) {
    const int rate = 16000;
    const auto frames = static_cast<uint32_t>(rate * (before + burst + after));
    std::vector<int16_t> samples(frames);
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const bool loud = t >= before && t < before + burst;
        samples[i] = static_cast<int16_t>(loud ? 8000 * std::sin(2 * M_PI * 500 * t) : 0);
    }
    test_support::write_wav(path, 1, rate, 16, test_support::pcm16_bytes(samples));
}

class RecordingPathTest : public DocumentFixture {
protected:
    // Capture in real time, as from a microphone.
    void paced() { env.set("QUILLON_AUDIO_PACE", "1"); }
};

TEST_F(RecordingPathTest, AShortNoteKeepsEverythingUpToTheStop) {
    paced();
    document->set_record_format(pcm_format);
    const Stopwatch watch;
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    const std::u16string path = document->current_record().path;
    run_for(500);
    // A loaded machine may deliver the microphone's first half second late.
    ASSERT_TRUE(run_until([&] { return document->duration().total() >= 0.45; }));
    document->stop();
    const double stopped_after = watch.elapsed();
    EXPECT_GE(file_duration(path), 0.45);
    // Nothing after the stop: no more than the microphone gave in the time that passed (half a
    // second when the machine is idle).
    EXPECT_LT(file_duration(path), stopped_after + 0.2);
}

TEST_F(RecordingPathTest, VoiceActivationKeepsTheFirstSyllableAfterASilence) {
    paced();
    write_burst(microphone, 3.0, 0.5, 2.0);
    document->set_record_format(pcm_format);
    document->level().set_vas_level(0.05);
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    const std::u16string path = document->current_record().path;
    run_for(5200);
    document->stop();
    const std::vector<int16_t> samples = wav_samples(path);
    size_t first = samples.size(), last = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(samples[i]) < 1000) continue;
        first = std::min(first, i);
        last = i;
    }
    ASSERT_LT(first, samples.size()) << "the burst is missing";
    // The whole half second of the burst, its start included.
    EXPECT_GE(static_cast<double>(last - first) / 16000, 0.48);
    // The gate still kept most of the silences out.
    EXPECT_LT(samples.size() / 16000.0, 4.0);
}

TEST_F(RecordingPathTest, ARecordingThatGotNoAudioLeavesNothingBehind) {
    // The microphone in real time, so that its first capture buffer takes a while to fill; paused
    // before it could: nothing reaches the file but its tag.
    env.set("QUILLON_AUDIO_PACE", "1");
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    const std::u16string path = document->current_record().path;
    ASSERT_GE(document->records().find(path), 0);
    document->set_paused(true);
    document->stop();
    EXPECT_FALSE(os::exists(path));
    EXPECT_LT(document->records().find(path), 0);
    EXPECT_EQ(log.count(DocumentEvent::RecordDeleted), 1);
    EXPECT_EQ(log.events.back().code, DocumentEvent::Stopped);
}

std::atomic<int> g_file_syncs{0};
std::atomic<int> g_folder_syncs{0};
std::mutex g_sync_threads_mutex;
std::set<std::thread::id> g_sync_threads;

int counting_sync(int descriptor, bool is_folder) {
    (is_folder ? g_folder_syncs : g_file_syncs)++;
    std::lock_guard lock(g_sync_threads_mutex);
    g_sync_threads.insert(std::this_thread::get_id());
    return is_folder ? ::fsync(descriptor) : ::fdatasync(descriptor);
}

TEST_F(RecordingPathTest, CheckpointsSyncTheFileOnTheWritersThread) {
    os::set_sync_function(&counting_sync);
    for (const RecordFormat& format : {pcm_format, RecordFormat{}}) {
        SCOPED_TRACE(os::to_utf8(format.codec));
        g_file_syncs = 0;
        g_folder_syncs = 0;
        document->set_record_format(format);
        const Stopwatch watch;
        ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
        // Two checkpoints, a second apart (later on a loaded machine).
        run_for(2300);
        ASSERT_TRUE(run_until([] { return g_file_syncs >= 2; }));
        document->stop();
        const double recorded_for = watch.elapsed();
        EXPECT_GE(g_file_syncs.load(), 2);
        // One a second and one at the stop, not one a write: three in the 2.3 s of an idle machine.
        EXPECT_LE(g_file_syncs.load(), static_cast<int>(recorded_for) + 1);
        EXPECT_EQ(g_folder_syncs.load(), 1);
    }
    os::set_sync_function(nullptr);
    std::lock_guard lock(g_sync_threads_mutex);
    EXPECT_EQ(g_sync_threads.count(std::this_thread::get_id()), 0u) << "a sync ran on the GUI thread";
}

TEST_F(RecordingPathTest, ACallerWithALongCjkNameIsRecorded) {
    const std::u16string name(84, u'\u738B');
    ASSERT_TRUE(document->record(true, name, u"+49301234567", call_direction_incoming));
    const std::u16string path = document->current_record().path;
    EXPECT_LE(os::to_utf8(os::file_name_of(path)).size(), 255u);
    EXPECT_EQ(os::file_name_of(path).substr(0, 10), name.substr(0, 10));
    EXPECT_EQ(document->current_record().artist, name);
    run_for(600);
    document->stop();
    EXPECT_GT(file_duration(path), 0.2);
}

TEST_F(RecordingPathTest, CallRecordingsAreTheUsersAloneAndVoiceNotesFollowTheUmask) {
    ASSERT_TRUE(document->record(true, u"Alice", u"+49301234567", call_direction_incoming));
    const std::string call = os::to_utf8(document->current_record().path);
    run_for(400);
    document->stop();
    struct stat info {};
    ASSERT_EQ(::stat(call.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(os::to_utf8(os::folder_of(os::from_utf8(call))).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    const mode_t old_mask = ::umask(022);
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    const std::string note = os::to_utf8(document->current_record().path);
    run_for(400);
    document->stop();
    ::umask(old_mask);
    ASSERT_EQ(::stat(note.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

}  // namespace

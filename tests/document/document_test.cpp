#include "document/document.h"

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <filesystem>

#include "audio/mp3/id3_reader.h"
#include "audio/readers/file_reader.h"
#include "os/file.h"
#include "os/file_system.h"
#include "os/path.h"
#include "os/registry.h"
#include "tests/document/document_test_support.h"

namespace {

namespace fs = std::filesystem;
using document_test::DocumentFixture;

double file_duration(const std::u16string& path) {
    std::unique_ptr<FileReader> reader = FileReader::open(path);
    return reader ? reader->info().duration() : -1.0;
}

std::atomic<int> g_file_syncs{0};

int counting_sync(int descriptor, bool is_folder) {
    if (!is_folder) ++g_file_syncs;
    return is_folder ? ::fsync(descriptor) : ::fdatasync(descriptor);
}

class DocumentTest : public DocumentFixture {
protected:
    void SetUp() override {
        DocumentFixture::SetUp();
        os::set_sync_function(&counting_sync);
    }
    void TearDown() override {
        DocumentFixture::TearDown();
        os::set_sync_function(nullptr);
    }
    // Runs the loop until the recording's writer has made one more checkpoint (it puts down what
    // it holds, then syncs): a loaded machine may take longer than the second between them.
    void run_past_a_checkpoint() {
        const int before = g_file_syncs;
        ASSERT_TRUE(run_until([&] { return g_file_syncs > before; }));
    }
    // Records until the duration counter has seen the given seconds of audio.
    void record_for(double seconds) {
        ASSERT_TRUE(run_until([&] { return document->duration().total() >= seconds; }));
    }
};

TEST_F(DocumentTest, VoiceNoteIsTaggedNamedListedAndPlayable) {
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    const std::u16string path = document->current_record().path;
    EXPECT_TRUE(os::is_under(path, root.text() + u"/Documents/My Quillon"));
    EXPECT_EQ(os::strip_separator(os::folder_of(path)), root.text() + u"/Documents/My Quillon");
    EXPECT_EQ(os::file_name_of(path).substr(0, 7), u"Record ");
    EXPECT_EQ(os::extension_of(path), u"mp3");
    EXPECT_EQ(document->current_record().album, u"Record");
    ASSERT_EQ(log.codes(), (std::vector<int>{7, 4}));
    EXPECT_EQ(log.events.back().parameter, 0);
    EXPECT_EQ(document->records().at(0).path, path);
    EXPECT_EQ(read_current_path(), path);

    // Recording while recording changes nothing.
    EXPECT_FALSE(document->record(false, u"", u"", call_direction_none));
    EXPECT_EQ(document->current_record().path, path);

    record_for(2.0);
    document->stop();
    EXPECT_FALSE(document->is_recording());
    EXPECT_EQ(log.codes().back(), 7);

    const RecordTags tags = read_record_tags(path);
    EXPECT_EQ(tags.artist, u"Record");
    EXPECT_EQ(tags.album, u"Record");
    EXPECT_EQ(tags.title, document->current_record().title);
    const double seconds = file_duration(path);
    EXPECT_GE(seconds, 1.9);
    EXPECT_LE(seconds, document->duration().total() + 0.5);

    // Playback to the end stops by itself.
    log.events.clear();
    ASSERT_TRUE(document->play(path));
    EXPECT_EQ(document->current_record().size_text, u"mp3");
    EXPECT_EQ(document->current_record().rate, 44100);
    ASSERT_TRUE(run_until([&] { return !document->is_playing(); }, 30000));
    EXPECT_EQ(log.codes().back(), 7);
}

TEST_F(DocumentTest, StopWhileIdleStillReportsAndCallWithoutCallMakesNoFile) {
    document->stop();
    EXPECT_EQ(log.codes(), (std::vector<int>{7}));
    document->handle_command_line(u"call");
    EXPECT_FALSE(document->is_recording());
    EXPECT_FALSE(fs::exists(root.path() + "/Documents/My Quillon") &&
                 !fs::is_empty(root.path() + "/Documents/My Quillon"));
    document->handle_command_line(u"Record");
    EXPECT_FALSE(document->is_recording());
}

TEST_F(DocumentTest, CommandWordRecordStartsThenPausesAndResumes) {
    document->handle_command_line(u"record now");
    ASSERT_TRUE(document->is_recording());
    record_for(0.5);
    document->handle_command_line(u"record");
    EXPECT_TRUE(document->is_paused());
    const double at_pause = document->duration().total();
    // While paused no block reaches the writer, so the file holds still from the pause on: no
    // checkpoint is awaited here (one comes only after the next block).
    run_for(1500);
    const auto size_paused = fs::file_size(os::to_utf8(document->current_record().path));
    run_for(1200);
    EXPECT_EQ(document->duration().total(), at_pause);
    EXPECT_EQ(fs::file_size(os::to_utf8(document->current_record().path)), size_paused);
    document->handle_command_line(u"record");
    EXPECT_FALSE(document->is_paused());
    ASSERT_TRUE(run_until([&] { return document->duration().total() > at_pause + 0.5; }));
    run_for(1200);
    EXPECT_GT(fs::file_size(os::to_utf8(document->current_record().path)), size_paused);
    document->set_paused(true);
    document->set_paused(true);
    EXPECT_EQ(log.count(6), 4);
    document->stop();
}

TEST_F(DocumentTest, CallsGoToTheirSubfolderNamedAfterTheCaller) {
    document->settings().auto_record = 1;
    document->on_call_start(u"Alice", u"+100", call_direction_incoming);
    ASSERT_TRUE(document->is_recording());
    EXPECT_TRUE(document->is_recording_call());
    const std::u16string path = document->current_record().path;
    EXPECT_EQ(os::strip_separator(os::folder_of(path)), root.text() + u"/Documents/My Quillon/Incoming");
    EXPECT_EQ(os::file_name_of(path).substr(0, 6), u"Alice ");
    EXPECT_EQ(document->current_record().album, u"Incoming");
    // Longer than a flapping stack's moments, and the monitor's hold before it tells the end.
    record_for(0.3);
    run_for(1200);
    document->on_call_stop();
    EXPECT_FALSE(document->is_recording());
    EXPECT_EQ(read_record_tags(path).artist, u"Alice");

    // A call gone again within a moment is no conversation: its recording is not kept.
    document->on_call_start(u"Alice", u"+100", call_direction_incoming);
    ASSERT_TRUE(document->is_recording());
    const std::u16string fragment = document->current_record().path;
    record_for(0.3);
    document->on_call_stop();
    EXPECT_FALSE(os::exists(fragment));
    EXPECT_LT(document->records().find(fragment), 0);
    EXPECT_TRUE(os::exists(path));

    // Without a name the number names it; without automatic recording nothing starts.
    document->on_call_start(u"", u"+200", call_direction_outgoing);
    ASSERT_TRUE(document->is_recording());
    EXPECT_EQ(os::file_name_of(document->current_record().path).substr(0, 5), u"+200 ");
    EXPECT_EQ(os::strip_separator(os::folder_of(document->current_record().path)),
              root.text() + u"/Documents/My Quillon/Outgoing");
    document->stop();
    document->settings().auto_record = 0;
    document->on_call_start(u"Bob", u"+300", call_direction_unknown);
    EXPECT_FALSE(document->is_recording());

    // A call in progress without a readable direction: no subfolder, album "Record".
    ASSERT_TRUE(document->record(true, u"Carol", u"", call_direction_unknown));
    EXPECT_EQ(os::strip_separator(os::folder_of(document->current_record().path)),
              root.text() + u"/Documents/My Quillon");
    EXPECT_EQ(document->current_record().album, u"Record");
    document->stop();
}

TEST_F(DocumentTest, PollReportsPhoneStateChanges) {
    const std::u16string phone = u"HKEY_LOCAL_MACHINE\\System\\State\\Phone";
    ASSERT_TRUE(os::reg_write_dword(phone, u"Active Call Count", 1));
    ASSERT_TRUE(os::reg_write_dword(phone, u"Status", 0x20000000));
    ASSERT_TRUE(run_until([&] { return log.count(8) == 1; }));
    EXPECT_TRUE(document->is_talking());
    ASSERT_TRUE(os::reg_write_dword(u"HKEY_LOCAL_MACHINE\\System\\State\\Hardware", u"Speaker", 1));
    ASSERT_TRUE(run_until([&] { return log.count(8) == 2; }));
    EXPECT_TRUE(document->is_speaker_on());

    // With a call connected, "call" on the command line records it.
    document->handle_command_line(u"call");
    EXPECT_TRUE(document->is_recording());
    EXPECT_TRUE(document->is_recording_call());
    document->stop();
}

TEST_F(DocumentTest, RenameCleansTheTitleAndRemoveDeletes) {
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    record_for(0.3);
    document->stop();
    const std::u16string old_path = document->current_record().path;

    document->set_title(document->current_record().title);  // same title: nothing
    EXPECT_EQ(log.count(3), 0);
    document->set_title(u"Trip\nto the: sea");
    ASSERT_EQ(log.count(3), 1);
    const std::u16string path = document->current_record().path;
    EXPECT_EQ(path, root.text() + u"/Documents/My Quillon/Record Trip to the  sea.mp3");
    EXPECT_FALSE(fs::exists(os::to_utf8(old_path)));
    EXPECT_EQ(read_record_tags(path).title, u"Trip to the: sea");
    EXPECT_EQ(document->records().at(0).path, path);
    EXPECT_EQ(read_current_path(), path);
    EXPECT_GT(file_duration(path), 0.2);

    document->remove();
    EXPECT_EQ(log.events.back().code, 2);
    EXPECT_EQ(log.events.back().parameter, 0);
    EXPECT_FALSE(fs::exists(os::to_utf8(path)));
    EXPECT_EQ(document->records().size(), 0u);
}

TEST_F(DocumentTest, AppendContinuesTheFile) {
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    record_for(1.0);
    document->stop();
    const std::u16string path = document->current_record().path;
    const double before = file_duration(path);
    ASSERT_TRUE(document->select(path));
    ASSERT_TRUE(document->record_append());
    EXPECT_EQ(log.codes().back(), 5);
    record_for(1.0);
    document->stop();
    EXPECT_GT(file_duration(path), before + 0.8);
    EXPECT_EQ(read_record_tags(path).artist, u"Record");
}

TEST_F(DocumentTest, ScanFindsRecordingsStepByStep) {
    const std::string folder = root.path() + "/Documents/My Quillon/Incoming";
    fs::create_directories(folder);
    document_test::write_tone(folder + "/a.wav", 8000, 0.1);
    document_test::write_tone(folder + "/b.WAV", 8000, 0.1);
    write_bytes(folder + "/c.wma", "x");
    document->load_secondary_things();
    ASSERT_TRUE(run_until([&] { return !document->is_scanning(); }));
    EXPECT_EQ(log.count(1), 2);
    EXPECT_EQ(document->records().size(), 2u);
    document->rescan();
    EXPECT_EQ(log.codes().back(), 0);
    EXPECT_EQ(document->records().size(), 2u);
}

TEST_F(DocumentTest, FullDiskEndsWithWriterErrorAndKeepsWhatWasRecorded) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old_limit{};
    getrlimit(RLIMIT_FSIZE, &old_limit);
    rlimit limit = old_limit;
    limit.rlim_cur = 60000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    const std::u16string path = document->current_record().path;
    const bool ended = run_until([&] { return log.count(10) == 1; }, 60000);
    setrlimit(RLIMIT_FSIZE, &old_limit);
    ASSERT_TRUE(ended);
    EXPECT_FALSE(document->is_recording());
    EXPECT_GT(file_duration(path), 3.0);
}

TEST_F(DocumentTest, VanishedCardEndsWithCardProblem) {
    fs::create_directories(root.path() + "/cards/SD");
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    EXPECT_TRUE(os::is_under(document->current_record().path, root.text() + u"/cards/SD"));
    record_for(0.3);
    fs::remove_all(root.path() + "/cards/SD");
    ASSERT_TRUE(run_until([&] { return log.count(9) == 1; }));
    EXPECT_FALSE(document->is_recording());
    EXPECT_EQ(log.codes().back(), 9);
    EXPECT_EQ(log.count(0), 1);  // the list was rebuilt without the lost file
}

TEST_F(DocumentTest, WavRecordingKeepsItsHeaderCurrent) {
    document->set_record_format(RecordFormat{u"PCM", 1, 16, 16000, 256000});
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    const std::u16string path = document->current_record().path;
    EXPECT_EQ(os::extension_of(path), u"wav");
    record_for(2.5);
    run_for(1100);
    run_past_a_checkpoint();
    // Read while the recording still runs: the header already tells of most of it.
    EXPECT_GE(file_duration(path), 1.5);
    document->stop();
    EXPECT_GE(file_duration(path), 2.5);
}

}  // namespace

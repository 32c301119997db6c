// The document's record list over the record cache and the folder watch: the same list and the
// same events whatever the cache holds, and other programs' changes followed without a restart.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/mp3/id3_tag.h"
#include "audio/mp3/mp3_writer.h"
#include "document/record_cache.h"
#include "document/record_files.h"
#include "os/file.h"
#include "os/path.h"
#include "os/registry.h"
#include "os/text.h"
#include "tests/document/document_test_support.h"

namespace {

namespace fs = std::filesystem;
using document_test::DocumentFixture;

class RecordLibraryTest : public DocumentFixture {
protected:
    void SetUp() override {
        DocumentFixture::SetUp();
        top = root.path() + "/Documents/My Quillon";
        const std::u16string probe = root.text() + u"/probe.mp3";
        {
            Mp3Writer writer(probe, false, 64000);
            std::vector<int16_t> silence(4410, 0);
            writer.on_data(AudioBlock(silence.data(), silence.size() * 2, AudioFormat{1, 16, 44100}));
        }
        audio = read_bytes(os::to_utf8(probe));
        fs::remove(os::to_utf8(probe));
    }

    void make_recording(const std::string& path, std::u16string_view title) {
        fs::create_directories(fs::path(path).parent_path());
        Id3Tag tag;
        fill_new_record_tag(tag, u"Caller", title, u"Incoming", os::DateTime(2024, 3, 4), {});
        os::File file(os::from_utf8(path), os::File::Write);
        tag.write(file);
        file.write(audio.data(), audio.size());
    }

    void restart_document() {
        document->remove_observer(&log);
        document.reset();
        log = document_test::EventLog();
        document = std::make_unique<Document>();
        document->add_observer(&log);
    }

    struct Run {
        std::vector<std::pair<int, int>> events;
        std::vector<RecordEntry> entries;
    };

    Run scan() {
        restart_document();
        document->load_secondary_things();
        EXPECT_TRUE(run_until([&] { return !document->is_scanning(); }));
        Run run;
        for (const DocumentEvent& event : log.events) run.events.emplace_back(event.code, event.parameter);
        for (size_t i = 0; i < document->records().size(); ++i) run.entries.push_back(document->records().at(i));
        return run;
    }

    static void expect_same(const Run& run, const Run& expected) {
        EXPECT_EQ(run.events, expected.events);
        ASSERT_EQ(run.entries.size(), expected.entries.size());
        for (size_t i = 0; i < expected.entries.size(); ++i) {
            const RecordEntry& a = run.entries[i];
            const RecordEntry& b = expected.entries[i];
            EXPECT_EQ(a.path, b.path) << i;
            EXPECT_EQ(a.artist, b.artist) << i;
            EXPECT_EQ(a.title, b.title) << i;
            EXPECT_EQ(a.album, b.album) << i;
            EXPECT_EQ(a.size_text, b.size_text) << i;
            EXPECT_EQ(a.date, b.date) << i;
        }
    }

    std::vector<std::u16string> listed_paths() const {
        std::vector<std::u16string> paths;
        for (size_t i = 0; i < document->records().size(); ++i) paths.push_back(document->records().at(i).path);
        std::sort(paths.begin(), paths.end());
        return paths;
    }

    std::string log_text() {
        return os::to_utf8(read_log_text(root.path() + "/Temp/" + os::to_utf8(os::app_name()) + ".txt"));
    }

    std::string top;
    std::string audio;
};

TEST_F(RecordLibraryTest, TheListAndItsEventsAreTheSameWhateverTheCacheHolds) {
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 1));
    for (int i = 0; i < 12; ++i) make_recording(top + "/r" + std::to_string(i) + ".mp3", u"Note " + os::to_text(i));
    for (int i = 0; i < 12; ++i) {
        make_recording(top + "/Incoming/c" + std::to_string(i) + ".mp3", u"Call " + os::to_text(i));
    }
    fs::create_directories(top + "/Outgoing");
    document_test::write_tone(top + "/Outgoing/tone.wav", 8000, 0.2);
    write_bytes(top + "/Outgoing/broken.mp3", "no audio");
    write_bytes(top + "/notes.txt", "no recording");
    const std::string database = os::to_utf8(RecordCache::default_path());
    fs::remove(database);

    const Run cold = scan();
    EXPECT_EQ(cold.entries.size(), 25u);
    EXPECT_EQ(log.count(DocumentEvent::RecordInserted), 25);
    EXPECT_NE(log_text().find("record scan: 25 records in "), std::string::npos);
    EXPECT_NE(log_text().find(" ms (26 files read)\n"), std::string::npos);
    {
        SCOPED_TRACE("warm");
        expect_same(scan(), cold);
        EXPECT_NE(log_text().find(" ms (0 files read)\n"), std::string::npos);
    }
    {
        SCOPED_TRACE("a file changed and one vanished");
        make_recording(top + "/r3.mp3", u"Note three, changed");
        fs::remove(top + "/Incoming/c5.mp3");
        const Run changed = scan();
        EXPECT_NE(log_text().find(" ms (1 files read)\n"), std::string::npos);
        restart_document();
        document->rescan();
        EXPECT_EQ(listed_paths().size(), changed.entries.size());
        const int index = document->records().find(os::from_utf8(top + "/r3.mp3"));
        ASSERT_GE(index, 0);
        EXPECT_EQ(document->records().at(static_cast<size_t>(index)).title, u"Note three, changed");
        make_recording(top + "/r3.mp3", u"Note 3");
        make_recording(top + "/Incoming/c5.mp3", u"Call 5");
    }
    // The files are back as they were (with new times): the same list again, read afresh.
    const Run again = scan();
    {
        SCOPED_TRACE("not a database");
        write_bytes(database, std::string(4096, 'q'));
        expect_same(scan(), again);
    }
    {
        SCOPED_TRACE("unusable");
        for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(database + suffix);
        fs::create_directories(database);
        expect_same(scan(), again);
    }
}

TEST_F(RecordLibraryTest, OtherProgramsChangesReachTheListAsTheScanWouldSendThem) {
    // The recordings folder does not exist yet at start: a sync tool brings it.
    const std::string staging = root.path() + "/staging";
    make_recording(staging + "/My Quillon/a.mp3", u"A");
    make_recording(staging + "/My Quillon/Incoming/b.mp3", u"B");
    document->load_secondary_things();
    ASSERT_TRUE(run_until([&] { return !document->is_scanning(); }));
    EXPECT_EQ(document->records().size(), 0u);
    fs::create_directories(root.path() + "/Documents");
    fs::rename(staging + "/My Quillon", top);
    ASSERT_TRUE(run_until([&] { return log.count(DocumentEvent::RecordInserted) == 2; }));

    // Copied in by writing, and moved in from elsewhere.
    make_recording(top + "/c.mp3", u"C");
    make_recording(staging + "/d.mp3", u"D");
    fs::rename(staging + "/d.mp3", top + "/Incoming/d.mp3");
    ASSERT_TRUE(run_until([&] { return log.count(DocumentEvent::RecordInserted) == 4; }));

    // Renamed: leaves the list under the old name and comes back under the new one.
    fs::rename(top + "/a.mp3", top + "/Incoming/a2.mp3");
    ASSERT_TRUE(run_until([&] { return log.count(DocumentEvent::RecordInserted) == 5; }));
    EXPECT_EQ(log.count(DocumentEvent::RecordDeleted), 1);
    EXPECT_LT(document->records().find(os::from_utf8(top + "/a.mp3")), 0);

    // Deleted, and a whole folder moved away and another moved in.
    fs::remove(top + "/c.mp3");
    make_recording(staging + "/album/e.mp3", u"E");
    make_recording(staging + "/album/f.mp3", u"F");
    fs::rename(top + "/Incoming", staging + "/Incoming");
    fs::rename(staging + "/album", top + "/album");
    ASSERT_TRUE(run_until(
        [&] { return log.count(DocumentEvent::RecordDeleted) == 5 && log.count(DocumentEvent::RecordInserted) == 7; }));
    const std::vector<std::u16string> followed = listed_paths();
    EXPECT_EQ(followed,
              (std::vector<std::u16string>{os::from_utf8(top + "/album/e.mp3"), os::from_utf8(top + "/album/f.mp3")}));

    // What a new start lists, entry by entry.
    const std::vector<RecordEntry> kept = [&] {
        std::vector<RecordEntry> entries;
        for (size_t i = 0; i < document->records().size(); ++i) entries.push_back(document->records().at(i));
        return entries;
    }();
    restart_document();
    document->load_secondary_things();
    ASSERT_TRUE(run_until([&] { return !document->is_scanning(); }));
    ASSERT_EQ(document->records().size(), kept.size());
    for (size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(document->records().at(i).path, kept[i].path);
        EXPECT_EQ(document->records().at(i).title, kept[i].title);
        EXPECT_EQ(document->records().at(i).date, kept[i].date);
    }

    // The program's own recording is listed once, however its file is written and closed.
    const size_t before = document->records().size();
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    run_for(500);
    document->stop();
    run_for(400);
    EXPECT_EQ(document->records().size(), before + 1);
}

}  // namespace

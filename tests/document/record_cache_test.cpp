#include "document/record_cache.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "audio/mp3/id3_tag.h"
#include "audio/mp3/mp3_writer.h"
#include "document/record_files.h"
#include "os/file.h"
#include "os/text.h"
#include "tests/os/temp_root.h"

namespace {

namespace fs = std::filesystem;

class RecordCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = root.path() + "/Documents/My Quillon";
        fs::create_directories(folder);
        const std::u16string probe = os::from_utf8(folder) + u"/probe.mp3";
        {
            Mp3Writer writer(probe, false, 64000);
            std::vector<int16_t> silence(4410, 0);
            writer.on_data(AudioBlock(silence.data(), silence.size() * 2, AudioFormat{1, 16, 44100}));
        }
        audio = read_bytes(os::to_utf8(probe));
        fs::remove(os::to_utf8(probe));
    }

    // A tagged recording; the tag's title makes files of one size differ in content.
    std::u16string make_recording(const std::string& name, std::u16string_view title) {
        const std::u16string path = os::from_utf8(folder + "/" + name);
        Id3Tag tag;
        fill_new_record_tag(tag, u"Caller", title, u"Record", os::DateTime(2024, 3, 4), {});
        os::File file(path, os::File::Write);
        tag.write(file);
        file.write(audio.data(), audio.size());
        return path;
    }

    static void expect_same(const RecordEntry& a, const RecordEntry& b) {
        EXPECT_EQ(a.path, b.path);
        EXPECT_EQ(a.valid, b.valid);
        EXPECT_EQ(a.artist, b.artist);
        EXPECT_EQ(a.title, b.title);
        EXPECT_EQ(a.album, b.album);
        EXPECT_EQ(a.size_text, b.size_text);
        EXPECT_EQ(a.date, b.date);
    }

    // Reads every path through a fresh cache and checks it against the files themselves.
    void expect_entries_match(const std::vector<std::u16string>& paths, size_t hits, size_t misses) {
        RecordCache cache;
        for (const std::u16string& path : paths) expect_same(cache.entry_of(path), record_entry(path));
        EXPECT_EQ(cache.hits(), hits);
        EXPECT_EQ(cache.misses(), misses);
    }

    int64_t rows() {
        sqlite3* db = nullptr;
        int64_t count = -1;
        if (sqlite3_open(os::to_utf8(RecordCache::default_path()).c_str(), &db) == SQLITE_OK) {
            sqlite3_stmt* statement = nullptr;
            if (sqlite3_prepare_v2(db, "SELECT count(*) FROM records", -1, &statement, nullptr) == SQLITE_OK &&
                sqlite3_step(statement) == SQLITE_ROW) {
                count = sqlite3_column_int64(statement, 0);
            }
            sqlite3_finalize(statement);
        }
        sqlite3_close(db);
        return count;
    }

    TempRoot root;
    std::string folder;
    std::string audio;
};

TEST_F(RecordCacheTest, KnownFilesComeFromTheCacheAndChangedOnesAreReadAgain) {
    std::vector<std::u16string> paths;
    for (int i = 0; i < 5; ++i)
        paths.push_back(make_recording("r" + std::to_string(i) + ".mp3", u"Title " + os::to_text(i)));
    paths.push_back(os::from_utf8(folder + "/broken.mp3"));
    write_bytes(folder + "/broken.mp3", "not audio at all");  // cached as no record
    paths.push_back(os::from_utf8(folder + "/missing.mp3"));  // never cached
    {
        SCOPED_TRACE("cold");
        RecordCache cache;
        EXPECT_TRUE(cache.is_open());
        for (const std::u16string& path : paths) expect_same(cache.entry_of(path), record_entry(path));
        EXPECT_EQ(cache.misses(), 6u);
        EXPECT_FALSE(cache.entry_of(paths[5]).valid);
    }
    {
        SCOPED_TRACE("warm");
        expect_entries_match(paths, 6, 0);
    }
    // Rewritten with other tags and another size.
    make_recording("r1.mp3", u"A much longer title than before");
    // The same size and modification time, other content: a copy that kept the time.
    struct stat before {};
    ::stat(os::to_utf8(paths[2]).c_str(), &before);
    const std::string temporary = folder + "/r2.tmp";
    make_recording("r2.tmp", u"Title X");
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ::utimensat(AT_FDCWD, temporary.c_str(), times, 0);
    fs::rename(temporary, os::to_utf8(paths[2]));
    {
        SCOPED_TRACE("changed");
        expect_entries_match(paths, 4, 2);
    }
    EXPECT_EQ(record_entry(paths[2]).title, u"Title X");
}

TEST_F(RecordCacheTest, ASweepDropsTheFilesThatVanishedAndForgetDropsOne) {
    std::vector<std::u16string> paths;
    for (int i = 0; i < 4; ++i) paths.push_back(make_recording("r" + std::to_string(i) + ".mp3", u"T"));
    {
        RecordCache cache;
        cache.begin_sweep();
        for (const std::u16string& path : paths) cache.entry_of(path);
        cache.end_sweep();
    }
    EXPECT_EQ(rows(), 4);
    fs::remove(os::to_utf8(paths[0]));
    {
        RecordCache cache;
        cache.begin_sweep();
        for (size_t i = 1; i < paths.size(); ++i) cache.entry_of(paths[i]);
        EXPECT_EQ(rows(), 4);  // not before the sweep has met everything
        cache.end_sweep();
        cache.finish_sweep();
        EXPECT_EQ(rows(), 3);
        cache.forget(paths[1]);
        EXPECT_EQ(rows(), 2);
        // Nothing vanished: the sweep keeps every row.
        cache.begin_sweep();
        cache.entry_of(paths[2]);
        cache.entry_of(paths[3]);
        cache.end_sweep();
        cache.finish_sweep();
        EXPECT_EQ(rows(), 2);
    }
}

TEST_F(RecordCacheTest, DamagedLockedOrUnusableDatabasesNeverChangeTheEntries) {
    std::vector<std::u16string> paths;
    for (int i = 0; i < 200; ++i) {
        paths.push_back(
            make_recording("r" + std::to_string(i) + ".mp3", u"A title long enough to fill pages " + os::to_text(i)));
    }
    const std::string database = os::to_utf8(RecordCache::default_path());
    {
        SCOPED_TRACE("not a database");
        write_bytes(database, std::string(8192, 'x'));
        expect_entries_match(paths, 0, paths.size());
        expect_entries_match(paths, paths.size(), 0);  // it was made anew and filled
    }
    {
        SCOPED_TRACE("damaged inside");
        std::string bytes = read_bytes(database);
        ASSERT_GT(bytes.size(), 16384u);
        for (size_t i = 4096; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
        write_bytes(database, bytes);
        RecordCache cache;
        for (const std::u16string& path : paths) expect_same(cache.entry_of(path), record_entry(path));
    }
    expect_entries_match(paths, paths.size(), 0);
    {
        SCOPED_TRACE("locked by another program");
        sqlite3* holder = nullptr;
        ASSERT_EQ(sqlite3_open(database.c_str(), &holder), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(holder, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; DELETE FROM records;", nullptr,
                               nullptr, nullptr),
                  SQLITE_OK);
        RecordCache cache;
        for (const std::u16string& path : paths) expect_same(cache.entry_of(path), record_entry(path));
        EXPECT_EQ(cache.hits(), 0u);
        sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(holder);
    }
    expect_entries_match(paths, paths.size(), 0);  // the lock held nothing back for good
    {
        // A program that turned the database back to a rollback journal can lock readers out.
        SCOPED_TRACE("locked while in use");
        sqlite3* holder = nullptr;
        ASSERT_EQ(sqlite3_open(database.c_str(), &holder), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(holder, "PRAGMA journal_mode=DELETE; BEGIN; SELECT count(*) FROM records;", nullptr,
                               nullptr, nullptr),
                  SQLITE_OK);
        RecordCache cache;
        ASSERT_TRUE(cache.is_open());
        ASSERT_EQ(sqlite3_exec(holder, "COMMIT; BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK);
        for (const std::u16string& path : paths) expect_same(cache.entry_of(path), record_entry(path));
        // Given up at the first wait, not waited for at every file.
        EXPECT_FALSE(cache.is_open());
        EXPECT_EQ(cache.misses(), paths.size());
        sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(holder);
    }
    expect_entries_match(paths, paths.size(), 0);
    {
        SCOPED_TRACE("a folder in its place");
        for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(database + suffix);
        fs::create_directories(database);
        RecordCache cache;
        EXPECT_FALSE(cache.is_open());
        for (const std::u16string& path : paths) expect_same(cache.entry_of(path), record_entry(path));
        EXPECT_EQ(cache.misses(), paths.size());
    }
}

TEST_F(RecordCacheTest, TwoUsersAtOnceBothGetTheFilesEntries) {
    std::vector<std::u16string> paths;
    for (int i = 0; i < 150; ++i) paths.push_back(make_recording("r" + std::to_string(i) + ".mp3", os::to_text(i)));
    std::vector<RecordEntry> expected;
    for (const std::u16string& path : paths) expected.push_back(record_entry(path));
    // Both start cold, so both read and write; then both read what the other wrote.
    for (int round = 0; round < 2; ++round) {
        std::vector<RecordEntry> first, second;
        auto user = [&](std::vector<RecordEntry>& out) {
            RecordCache cache;
            for (const std::u16string& path : paths) out.push_back(cache.entry_of(path));
        };
        std::thread other(user, std::ref(second));
        user(first);
        other.join();
        ASSERT_EQ(first.size(), expected.size());
        ASSERT_EQ(second.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            expect_same(first[i], expected[i]);
            expect_same(second[i], expected[i]);
        }
    }
    EXPECT_EQ(rows(), 150);
}

}  // namespace

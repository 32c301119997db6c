#include "document/record_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "audio/mp3/id3_tag.h"
#include "document/record_list.h"
#include "document/storages.h"
#include "os/file.h"
#include "os/path.h"
#include "tests/os/temp_root.h"

namespace {

namespace fs = std::filesystem;

void touch(const std::u16string& path, size_t bytes = 1) {
    fs::create_directories(fs::path(os::to_utf8(path)).parent_path());
    std::ofstream(os::to_utf8(path)) << std::string(bytes, 'x');
}

TEST(RecordFiles, NamesNeverCollideAndStayShort) {
    TempRoot root;
    const std::u16string folder = root.text();
    const std::u16string first = make_record_path(u"Record 1 May 2024 10 00 00", folder, u"mp3");
    EXPECT_EQ(first, folder + u"/Record 1 May 2024 10 00 00.mp3");
    touch(first);
    const std::u16string second = make_record_path(u"Record 1 May 2024 10 00 00", folder, u"mp3");
    EXPECT_EQ(second, folder + u"/Record 1 May 2024 10 00 00~1.mp3");
    touch(second);
    EXPECT_EQ(make_record_path(u"Record 1 May 2024 10 00 00", folder, u"mp3"),
              folder + u"/Record 1 May 2024 10 00 00~2.mp3");

    // Forbidden characters become spaces, control characters too.
    EXPECT_EQ(make_record_path(u"a/b:c<d>e\"f\\g|h?i*j\nk", folder, u"mp3"), folder + u"/a b c d e f g h i j k.mp3");
    EXPECT_EQ(make_record_path(u"..", folder, u"mp3"), folder + u"/  .mp3");

    // The title keeps (250 - uncut path length) characters: all of a short one, the first few of a
    // longer one, none once the uncut path reaches 250.
    const size_t base = os::join(folder, u".mp3").size();
    const std::u16string short_title(10, u's');
    EXPECT_EQ(make_record_path(short_title, folder, u"mp3"), folder + u"/" + short_title + u".mp3");
    const std::u16string at_limit(250 - base, u'e');
    EXPECT_EQ(make_record_path(at_limit, folder, u"mp3"), folder + u"/.mp3");
    const std::u16string one_less(249 - base, u'e');
    EXPECT_EQ(make_record_path(one_less, folder, u"mp3"), folder + u"/e.mp3");
    EXPECT_LT(make_record_path(std::u16string(200 - base, u'm'), folder, u"mp3").size(), 250u);
    EXPECT_EQ(make_record_path(std::u16string(400, u'n'), folder, u"mp3"), folder + u"/.mp3");
}

TEST(RecordFiles, TitlesAndTexts) {
    EXPECT_EQ(clean_title(u"a\nb\rc\x1B" u"d\x1B0A" u"e"), u"a bcde");
    EXPECT_EQ(two_digits(7), u"07");
    EXPECT_EQ(two_digits(2024), u"24");
    EXPECT_EQ(size_text(0), u"");
    EXPECT_EQ(size_text(1023), u"1023B");
    EXPECT_EQ(size_text(1024), u"1K");
    EXPECT_EQ(size_text(1048575), u"1023K");
    EXPECT_EQ(size_text(1048576), u"1.0M");
    EXPECT_EQ(size_text(1572864), u"1.5M");
    EXPECT_TRUE(is_record_file(u"/a/b.MP3"));
    EXPECT_TRUE(is_record_file(u"/a/b.Wav"));
    EXPECT_FALSE(is_record_file(u"/a/b.wma"));
    EXPECT_FALSE(is_record_file(u"mp3"));
}

TEST(RecordFiles, NewRecordingTagReadsBack) {
    TempRoot root;
    const std::u16string path = root.text() + u"/t.mp3";
    Id3Tag tag;
    fill_new_record_tag(tag, u"Record", u"1 May 2024 10:00:00", u"Record", os::DateTime(2024, 5, 1, 10), {});
    ASSERT_EQ(tag.frames().size(), 6u);
    EXPECT_EQ(tag.frames()[0].id, "TPE1");
    EXPECT_EQ(tag.frames()[5].id, "TDAT");
    {
        os::File file(path, os::File::Write);
        ASSERT_TRUE(tag.write(file));
    }
    const RecordEntry entry = record_entry(path);
    ASSERT_TRUE(entry.valid);
    EXPECT_EQ(entry.artist, u"Record");
    EXPECT_EQ(entry.title, u"1 May 2024 10:00:00");
    EXPECT_EQ(entry.album, u"Record");
    EXPECT_EQ(entry.size_text, u"1K");
    EXPECT_FALSE(record_entry(root.text() + u"/missing.mp3").valid);
}

TEST(RecordFiles, StoragesAndRecordFolder) {
    TempRoot root;
    std::vector<StorageEntry> list = storages();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].path, root.text() + u"/Documents/My Quillon");
    EXPECT_EQ(list[0].name, u"Menu_MainMemory");
    EXPECT_EQ(record_folder(u"Incoming"), root.text() + u"/Documents/My Quillon/Incoming");
    EXPECT_TRUE(fs::is_directory(root.path() + "/Documents/My Quillon/Incoming"));
    EXPECT_TRUE(is_in_main_memory(root.text() + u"/Documents/My Quillon/x.mp3"));

    fs::create_directories(root.path() + "/cards/SD");
    list = storages();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].path, root.text() + u"/cards/SD/Documents/My Quillon");
    EXPECT_EQ(list[1].name, u"SD");
    EXPECT_EQ(record_folder(u""), root.text() + u"/cards/SD/Documents/My Quillon");
    EXPECT_FALSE(is_in_main_memory(list[1].path));
}

RecordEntry entry_at(const std::u16string& path, int minute) {
    RecordEntry entry;
    entry.path = path;
    entry.date = os::DateTime(2024, 1, 1, 10, minute);
    entry.valid = true;
    return entry;
}

TEST(RecordList, NewestFirstAndLatestInsertionFirstAmongEqualDates) {
    RecordList list;
    EXPECT_EQ(list.insert(entry_at(u"/a", 1)), 0);
    EXPECT_EQ(list.insert(entry_at(u"/b", 3)), 0);
    EXPECT_EQ(list.insert(entry_at(u"/c", 2)), 1);
    EXPECT_EQ(list.insert(entry_at(u"/d", 2)), 1);  // same date as /c: goes before it
    bool inserted = true;
    EXPECT_EQ(list.insert(entry_at(u"/c", 2), &inserted), 2);
    EXPECT_FALSE(inserted);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list.at(0).path, u"/b");
    EXPECT_EQ(list.at(1).path, u"/d");
    EXPECT_EQ(list.at(2).path, u"/c");
    EXPECT_EQ(list.at(3).path, u"/a");

    // insert_all orders as one insert() each.
    RecordList bulk;
    bulk.insert_all({entry_at(u"/a", 1), entry_at(u"/b", 3), entry_at(u"/c", 2), entry_at(u"/d", 2), entry_at(u"/c", 2)});
    ASSERT_EQ(bulk.size(), 4u);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(bulk.at(i).path, list.at(i).path);

    list.remove_at(1);
    EXPECT_EQ(list.find(u"/d"), -1);
    EXPECT_EQ(list.find(u"/c"), 1);
    EXPECT_EQ(list.insert(entry_at(u"/d", 2)), 1);
}

TEST(RecordList, RescanListsRecordFilesOfEveryStorage) {
    TempRoot root;
    const std::u16string main = root.text() + u"/Documents/My Quillon";
    touch(main + u"/a.mp3", 10);
    touch(main + u"/Incoming/b.MP3", 2000);
    touch(main + u"/c.wav", 5);
    touch(main + u"/d.wma", 5);
    touch(main + u"/e.txt", 5);
    fs::create_directories(root.path() + "/cards/SD");
    touch(root.text() + u"/cards/SD/Documents/My Quillon/Outgoing/f.mp3", 7);
    RecordList list;
    rescan_records(list);
    std::vector<std::u16string> paths;
    for (size_t i = 0; i < list.size(); ++i) paths.push_back(list.at(i).path);
    std::sort(paths.begin(), paths.end());
    ASSERT_EQ(paths.size(), 4u);
    EXPECT_EQ(paths[0], root.text() + u"/Documents/My Quillon/Incoming/b.MP3");
    EXPECT_EQ(paths[3], root.text() + u"/cards/SD/Documents/My Quillon/Outgoing/f.mp3");
    EXPECT_EQ(list.at(list.find(main + u"/Incoming/b.MP3")).size_text, u"1K");
}

}  // namespace

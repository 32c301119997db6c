#include "document/record_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "audio/mp3/id3_reader.h"
#include "audio/mp3/id3_tag.h"
#include "document/record_list.h"
#include "document/storages.h"
#include "document/tag_title.h"
#include "os/file.h"
#include "os/path.h"
#include "tests/os/temp_root.h"
#include "tests/support/wav_file.h"

namespace {

namespace fs = std::filesystem;

void touch(const std::u16string& path, size_t bytes = 1) {
    fs::create_directories(fs::path(os::to_utf8(path)).parent_path());
    std::ofstream(os::to_utf8(path)) << std::string(bytes, 'x');
}

// A playable file of exactly `bytes` bytes (at least 45): an 8-bit mono PCM WAV, whatever its name.
void touch_playable(const std::u16string& path, size_t bytes) {
    fs::create_directories(fs::path(os::to_utf8(path)).parent_path());
    const std::string data(bytes - 44, '\x90');
    std::ofstream(os::to_utf8(path), std::ios::binary) << test_support::wav_bytes(1, 8000, 8, data);
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
    // Names never hide (a leading dot) nor vanish.
    EXPECT_EQ(make_record_path(u"..", folder, u"mp3"), folder + u"/__.mp3");
    EXPECT_EQ(make_record_path(u".hidden", folder, u"mp3"), folder + u"/_hidden.mp3");
    EXPECT_EQ(make_record_path(u"", folder, u"mp3"), folder + u"/Record.mp3");
    EXPECT_EQ(make_record_path(u"\u202E", folder, u"mp3"), folder + u"/Record.mp3");

    // The path stays below 250 characters: a short title whole, a long one cut, never to nothing.
    const size_t base = os::join(folder, u".mp3").size();
    const std::u16string short_title(10, u's');
    EXPECT_EQ(make_record_path(short_title, folder, u"mp3"), folder + u"/" + short_title + u".mp3");
    EXPECT_EQ(make_record_path(std::u16string(250 - base, u'e'), folder, u"mp3"),
              folder + u"/" + std::u16string(250 - base, u'e') + u".mp3");
    EXPECT_EQ(make_record_path(std::u16string(400, u'n'), folder, u"mp3"),
              folder + u"/" + std::u16string(250 - base, u'n') + u".mp3");
    EXPECT_EQ(make_record_path(std::u16string(220, u't'), u"/m", u"mp3"), u"/m/" + std::u16string(220, u't') + u".mp3");
}

// Bytes of the last path component in UTF-8: what Linux limits to 255.
size_t name_bytes(const std::u16string& path) { return os::to_utf8(os::file_name_of(path)).size(); }

TEST(RecordFiles, NamesFitTheFileSystemAndReadAsWhatTheyAre) {
    TempRoot root;
    const std::u16string folder = root.text();
    // A caller's name of 84 CJK characters (252 bytes) with the date and time of the call: the name
    // is cut between characters and the date and time stay, so one caller's calls stay apart.
    const std::u16string caller(84, u'\u6F22');
    const std::u16string moment = u"Tuesday, 8 December 2026 7:45:12\u202FAM";
    const std::u16string title = caller + u" " + moment;
    const std::u16string path = make_record_path(title, folder, u"mp3", moment.size() + 1);
    EXPECT_LE(name_bytes(path), 255u - 8u);
    const std::u16string kept_moment = u" Tuesday, 8 December 2026 7 45 12 AM.mp3";
    EXPECT_EQ(path.substr(path.size() - kept_moment.size()), kept_moment) << os::to_utf8(path);
    EXPECT_EQ(path.substr(0, folder.size() + 11), folder + u"/" + std::u16string(10, u'\u6F22'));
    {
        os::File file(path, os::File::Write);
        EXPECT_TRUE(file.is_open());
    }
    // Collisions still find room for "~n".
    const std::u16string second = make_record_path(title, folder, u"mp3", moment.size() + 1);
    EXPECT_NE(second, path);
    EXPECT_LE(name_bytes(second), 255u);
    EXPECT_TRUE(os::File(second, os::File::Write).is_open());

    // Four-byte characters are never split.
    const std::u16string emoji = u"\U0001F600";
    std::u16string many;
    for (int i = 0; i < 100; ++i) many += emoji;
    const std::u16string cut = make_record_path(many, folder, u"mp3");
    EXPECT_LE(name_bytes(cut), 255u);
    EXPECT_EQ(os::to_utf8(os::file_name_of(cut)).size() % 4, 0u);

    // Direction marks vanish and unusual spaces become plain ones, so the name reads as it is.
    EXPECT_EQ(make_record_path(u"Anna\u202Egpj.exe\u00A0x\u2066y\u2069", folder, u"mp3"),
              folder + u"/Annagpj.exe xy.mp3");
}

TEST(RecordFiles, TitlesAndTexts) {
    EXPECT_EQ(clean_title(u"a\nb\rc\x1B"
                          u"d\x1B0A"
                          u"e"),
              u"a bcde");
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
    // A file with nothing but the tag (a recording killed before its first frame) is no record:
    // no reader takes it. Only a recording that has just begun is listed that way.
    EXPECT_FALSE(record_entry(path).valid);
    const RecordEntry entry = record_entry(path, false);
    ASSERT_TRUE(entry.valid);
    EXPECT_EQ(entry.artist, u"Record");
    EXPECT_EQ(entry.title, u"1 May 2024 10:00:00");
    EXPECT_EQ(entry.album, u"Record");
    EXPECT_EQ(entry.size_text, u"1K");
    EXPECT_FALSE(record_entry(root.text() + u"/missing.mp3").valid);
}

TEST(RecordFiles, FilesWithNothingToPlayAreNoRecords) {
    TempRoot root;
    const auto listed = [](const std::u16string& path) { return record_entry(path, true, true).valid; };
    // 0 bytes under any name: no record, whether listed or opened.
    for (const char16_t* name : {u"/a.wav", u"/b.mp3", u"/c.ogg"}) {
        touch(root.text() + name, 0);
        EXPECT_FALSE(listed(root.text() + name));
        EXPECT_FALSE(record_entry(root.text() + name).valid);
    }
    // A WAV header with no data is not listed, but it still opens (and plays nothing).
    touch_playable(root.text() + u"/empty.wav", 44);
    EXPECT_FALSE(listed(root.text() + u"/empty.wav"));
    EXPECT_TRUE(record_entry(root.text() + u"/empty.wav").valid);
    touch_playable(root.text() + u"/one.wav", 45);
    EXPECT_TRUE(listed(root.text() + u"/one.wav"));
    // A recording that has just begun is listed before its first sample lands.
    EXPECT_TRUE(record_entry(root.text() + u"/empty.wav", false).valid);
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

    // A card whose folder cannot be made (here a file stands in its way, as on a card that is
    // read-only or failing) is passed over: the recording goes to main memory, never nowhere.
    fs::remove_all(root.path() + "/cards/SD");
    fs::create_directories(root.path() + "/cards/RO");
    touch(root.text() + u"/cards/RO/Documents", 1);
    std::u16string store;
    list = storages();
    ASSERT_EQ(list.size(), 2u);
    ASSERT_EQ(list[1].path, root.text() + u"/cards/RO/Documents/My Quillon");
    EXPECT_EQ(record_folder(u"Incoming", &store), root.text() + u"/Documents/My Quillon/Incoming");
    EXPECT_EQ(store, root.text() + u"/Documents/My Quillon");
    // No probe file is left behind in a folder that was written.
    EXPECT_FALSE(fs::exists(root.path() + "/Documents/My Quillon/Incoming/.quillon-write-test"));
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
    bulk.insert_all(
        {entry_at(u"/a", 1), entry_at(u"/b", 3), entry_at(u"/c", 2), entry_at(u"/d", 2), entry_at(u"/c", 2)});
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
    touch_playable(main + u"/a.mp3", 100);
    touch_playable(main + u"/Incoming/b.MP3", 2000);
    touch_playable(main + u"/c.wav", 50);
    touch_playable(main + u"/d.wma", 50);
    touch_playable(main + u"/e.txt", 50);
    // Names of recordings, but nothing any reader takes: not listed.
    touch(main + u"/g.mp3", 1189);
    touch(main + u"/h.wav", 5);
    fs::create_directories(root.path() + "/cards/SD");
    touch_playable(root.text() + u"/cards/SD/Documents/My Quillon/Outgoing/f.mp3", 70);
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

namespace {

std::vector<uint8_t> bytes_of(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void put(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

TEST(TagTitle, UntaggedUnsynchronisedAndBrokenTags) {
    TempRoot root;
    // Stand-ins for audio: bytes that must come through every rewrite unchanged.
    std::vector<uint8_t> audio(5000);
    for (size_t i = 0; i < audio.size(); ++i) audio[i] = static_cast<uint8_t>(i * 7 + 1);

    // An MP3 file without any tag gets an ID3v2.3 tag in front of its audio.
    const std::string bare = root.path() + "/bare.mp3";
    put(bare, audio);
    ASSERT_TRUE(rewrite_tag_title(os::from_utf8(bare), u"First"));
    std::vector<uint8_t> now = bytes_of(bare);
    ASSERT_GT(now.size(), audio.size() + 10);
    EXPECT_EQ(now[3], 3);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), now.end() - static_cast<long>(audio.size())));
    EXPECT_EQ(read_record_tags(os::from_utf8(bare)).title, u"First");
    // A WAV file takes no tag, whatever its name.
    const std::string riff = root.path() + "/riff.mp3";
    std::vector<uint8_t> wav = {'R', 'I', 'F', 'F'};
    wav.insert(wav.end(), audio.begin(), audio.end());
    put(riff, wav);
    ASSERT_TRUE(rewrite_tag_title(os::from_utf8(riff), u"First"));
    EXPECT_EQ(bytes_of(riff), wav);

    // An unsynchronised ID3v2.3 tag: FF 00 in a frame stands for FF. It is written back plain.
    const std::string unsync = root.path() + "/unsync.mp3";
    std::vector<uint8_t> tag = {'I', 'D', '3', 3, 0, 0x80, 0, 0, 0, 30};
    const std::vector<uint8_t> frame = {'T', 'P', 'E', '1', 0, 0, 0, 5, 0, 0, 1, 0xFF, 0x00, 0xFE, 'A', 0, 0, 0, 0, 0};
    tag.insert(tag.end(), frame.begin(), frame.end());
    tag.resize(40, 0);
    tag.insert(tag.end(), audio.begin(), audio.end());
    put(unsync, tag);
    ASSERT_TRUE(rewrite_tag_title(os::from_utf8(unsync), u"Second"));
    now = bytes_of(unsync);
    EXPECT_EQ(now[5] & 0x80, 0);
    EXPECT_EQ(read_record_tags(os::from_utf8(unsync)).artist, u"A");
    EXPECT_EQ(read_record_tags(os::from_utf8(unsync)).title, u"Second");
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), now.end() - static_cast<long>(audio.size())));

    // Frames that run past their tag, or an ID3v2.2 tag, are not guessed at: the file stays.
    const std::string broken = root.path() + "/broken.mp3";
    std::vector<uint8_t> bad = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 20, 'T', 'I', 'T', '2', 0, 0, 1, 0, 0, 0};
    bad.resize(30, 0);
    bad.insert(bad.end(), audio.begin(), audio.end());
    put(broken, bad);
    EXPECT_FALSE(rewrite_tag_title(os::from_utf8(broken), u"Third"));
    EXPECT_EQ(bytes_of(broken), bad);
    bad[3] = 2;
    put(broken, bad);
    EXPECT_FALSE(rewrite_tag_title(os::from_utf8(broken), u"Third"));
    EXPECT_EQ(bytes_of(broken), bad);
}

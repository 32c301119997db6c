// Artist and title from every kind of tag the ecosystem writes, and new titles written into tags
// that are not our own, with the audio left as it was.
#include "audio/tags/file_tags.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "os/text.h"
#include "tests/audio_readers/fixtures.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const char* python = "/usr/bin/python3";

bool have_mutagen() { return fixtures::run(std::string(python) + " -c 'import mutagen'"); }

std::string output_of(const std::string& command) {
    std::string out;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

// One second of MPEG audio without tags, made by lame.
Bytes plain_mp3() {
    static const Bytes bytes = [] {
        const std::string wav = fixtures::path_in_scratch("tags_source.wav");
        const std::string mp3 = fixtures::path_in_scratch("tags_plain.mp3");
        fixtures::write_file(wav, fixtures::pcm_wav(fixtures::test_signal(1, 22050, 1.0), 1, 22050));
        return fixtures::run("lame --quiet -b 32 -t " + wav + " " + mp3) ? fixtures::read_file(mp3) : Bytes();
    }();
    return bytes;
}

void syncsafe(Bytes& out, std::uint32_t value) {
    for (int shift = 21; shift >= 0; shift -= 7) out.push_back(static_cast<std::uint8_t>((value >> shift) & 0x7F));
}

// An ID3v2.2 tag: three-character frame ids with three-byte sizes.
Bytes id3v22(const std::string& artist, const std::string& title) {
    Bytes frames;
    for (const auto& [id, text] : {std::pair{std::string("TP1"), artist}, std::pair{std::string("TT2"), title}}) {
        frames.insert(frames.end(), id.begin(), id.end());
        const std::size_t size = text.size() + 1;
        frames.insert(frames.end(), {0, 0, static_cast<std::uint8_t>(size)});
        frames.push_back(0);
        frames.insert(frames.end(), text.begin(), text.end());
    }
    Bytes tag = {'I', 'D', '3', 2, 0, 0};
    syncsafe(tag, static_cast<std::uint32_t>(frames.size()));
    tag.insert(tag.end(), frames.begin(), frames.end());
    return tag;
}

// An ID3v2.3 tag, unsynchronised as a whole or with an extended header. The unsynchronised title
// "ÿàx" holds FF E0, a false frame sync, stored as FF 00 E0 (the frame's size counts the stored
// bytes, as readers take it).
Bytes id3v23(bool unsynchronised, bool extended_header) {
    Bytes frames = {'T', 'P', 'E', '1', 0, 0, 0, 12, 0, 0, 0};
    const std::string artist = "Sync Artist";
    frames.insert(frames.end(), artist.begin(), artist.end());
    if (unsynchronised) {
        frames.insert(frames.end(), {'T', 'I', 'T', '2', 0, 0, 0, 5, 0, 0, 0, 0xFF, 0x00, 0xE0, 'x'});
    } else {
        frames.insert(frames.end(), {'T', 'I', 'T', '2', 0, 0, 0, 4, 0, 0, 0, 0xFF, 0xE0, 'x'});
    }
    const Bytes extended = extended_header ? Bytes{0, 0, 0, 6, 0, 0, 0, 0, 0, 0} : Bytes{};  // flags, padding size
    const std::uint8_t flags = static_cast<std::uint8_t>((unsynchronised ? 0x80 : 0) | (extended_header ? 0x40 : 0));
    Bytes tag = {'I', 'D', '3', 3, 0, flags};
    syncsafe(tag, static_cast<std::uint32_t>(extended.size() + frames.size()));
    tag.insert(tag.end(), extended.begin(), extended.end());
    tag.insert(tag.end(), frames.begin(), frames.end());
    return tag;
}

// An ID3v2.4 tag with an extended header or a footer (TagLib 1.13 loses the frames of a tag
// that has both).
Bytes id3v24(bool extended_header, bool footer) {
    Bytes frames = {'T', 'I', 'T', '2'};
    const std::string title = "Title of 2.4";
    syncsafe(frames, static_cast<std::uint32_t>(title.size() + 1));
    frames.insert(frames.end(), {0, 0, 3});
    frames.insert(frames.end(), title.begin(), title.end());
    const Bytes extended = extended_header ? Bytes{0, 0, 0, 6, 1, 0} : Bytes{};  // size 6, one flag byte, no flags
    const std::uint8_t flags = static_cast<std::uint8_t>((extended_header ? 0x40 : 0) | (footer ? 0x10 : 0));
    Bytes tag = {'I', 'D', '3', 4, 0, flags};
    syncsafe(tag, static_cast<std::uint32_t>(extended.size() + frames.size()));
    tag.insert(tag.end(), extended.begin(), extended.end());
    tag.insert(tag.end(), frames.begin(), frames.end());
    if (footer) {
        Bytes end = {'3', 'D', 'I', 4, 0, flags};
        end.insert(end.end(), tag.begin() + 6, tag.begin() + 10);
        tag.insert(tag.end(), end.begin(), end.end());
    }
    return tag;
}

std::string file_with(const std::string& name, const Bytes& head, const Bytes& body) {
    Bytes bytes = head;
    bytes.insert(bytes.end(), body.begin(), body.end());
    const std::string path = fixtures::path_in_scratch(name);
    fixtures::write_file(path, bytes);
    return path;
}

RecordTags tags_of(const std::string& path) { return read_file_tags(os::from_utf8(path)); }

}  // namespace

TEST(FileTags, EveryId3VersionAndApe) {
    if (!fixtures::has_program("lame")) GTEST_SKIP() << "lame missing";
    const Bytes audio = plain_mp3();
    ASSERT_FALSE(audio.empty());

    RecordTags tags = tags_of(file_with("v22.mp3", id3v22("Old Artist", "Old Title"), audio));
    EXPECT_EQ(tags.artist, u"Old Artist");
    EXPECT_EQ(tags.title, u"Old Title");

    for (const bool unsynchronised : {true, false}) {
        tags = tags_of(file_with("v23.mp3", id3v23(unsynchronised, !unsynchronised), audio));
        EXPECT_EQ(tags.artist, u"Sync Artist") << unsynchronised;
        EXPECT_EQ(tags.title, u"\u00FF\u00E0x") << unsynchronised;
    }

    EXPECT_EQ(tags_of(file_with("v24_extended.mp3", id3v24(true, false), audio)).title, u"Title of 2.4");
    EXPECT_EQ(tags_of(file_with("v24_footer.mp3", id3v24(false, true), audio)).title, u"Title of 2.4");

    if (!have_mutagen()) GTEST_SKIP() << "python3-mutagen missing";
    for (const int version : {3, 4}) {
        const std::string path = file_with("mutagen_v2" + std::to_string(version) + ".mp3", {}, audio);
        ASSERT_TRUE(fixtures::run(
            std::string(python) +
            " -c \"from mutagen.id3 import ID3, TIT2, TPE1; t = ID3(); "
            "t.add(TPE1(encoding=1, text='\\u00c4rtist')); t.add(TIT2(encoding=3, text='T\\u00eftle " +
            std::to_string(version) + "')); t.save('" + path + "', v2_version=" + std::to_string(version) + ")\""));
        tags = tags_of(path);
        EXPECT_EQ(tags.artist, u"\u00C4rtist") << version;
        EXPECT_EQ(tags.title, u"T\u00EFtle " + os::from_utf8(std::to_string(version))) << version;
    }
    // An APEv2 tag at the end of the file (its "APETAGEX" is no ID3v1 "TAG"), with and without
    // an ID3v1 tag behind it.
    for (const bool with_v1 : {false, true}) {
        const std::string path = file_with(with_v1 ? "ape_v1.mp3" : "ape.mp3", {}, audio);
        ASSERT_TRUE(fixtures::run(std::string(python) +
                                  " -c \"from mutagen.apev2 import APEv2; t = APEv2(); "
                                  "t['Artist'] = 'Ape Artist'; t['Title'] = 'Ape Title'; t.save('" +
                                  path + "')\""));
        if (with_v1) {
            Bytes bytes = fixtures::read_file(path);
            Bytes v1(128, 0);
            std::memcpy(v1.data(), "TAG", 3);
            std::memcpy(v1.data() + 3, "V1 Title", 8);
            bytes.insert(bytes.end(), v1.begin(), v1.end());
            fixtures::write_file(path, bytes);
        }
        tags = tags_of(path);
        EXPECT_EQ(tags.artist, u"Ape Artist") << with_v1;
        EXPECT_EQ(tags.title, u"Ape Title") << with_v1;
    }
}

TEST(FileTags, VorbisCommentsMusepackApeAndWavInfo) {
    const std::string wav = fixtures::path_in_scratch("tag_source.wav");
    fixtures::write_file(wav, fixtures::pcm_wav(fixtures::test_signal(2, 44100, 1.0), 2, 44100));
    if (fixtures::has_program("oggenc")) {
        const std::string ogg = fixtures::path_in_scratch("tagged.ogg");
        ASSERT_TRUE(fixtures::run("oggenc -Q -a 'Vorbis Artist' -t 'Vorbis T\xc3\xaftle' -o " + ogg + " " + wav));
        const RecordTags tags = tags_of(ogg);
        EXPECT_EQ(tags.artist, u"Vorbis Artist");
        EXPECT_EQ(tags.title, u"Vorbis T\u00EFtle");
    }
    if (fixtures::has_program("mpcenc")) {
        const std::string mpc = fixtures::path_in_scratch("tagged.mpc");
        ASSERT_TRUE(
            fixtures::run("mpcenc --silent --overwrite --artist 'MPC Artist' --title 'MPC Title' " + wav + " " + mpc));
        const RecordTags tags = tags_of(mpc);
        EXPECT_EQ(tags.artist, u"MPC Artist");
        EXPECT_EQ(tags.title, u"MPC Title");
    }
    if (fixtures::has_program("ffmpeg")) {
        const std::string info = fixtures::path_in_scratch("tagged_info.wav");
        ASSERT_TRUE(fixtures::run("ffmpeg -v error -y -i " + wav +
                                  " -metadata artist='WAV Artist' -metadata title='WAV Title' " + info));
        const RecordTags tags = tags_of(info);
        EXPECT_EQ(tags.artist, u"WAV Artist");
        EXPECT_EQ(tags.title, u"WAV Title");
    }
    // Nothing to read is no failure.
    const std::string empty = fixtures::path_in_scratch("no_tags.wav");
    fixtures::write_file(empty, {});
    EXPECT_TRUE(tags_of(empty).title.empty());
    EXPECT_TRUE(tags_of(fixtures::path_in_scratch("missing.mp3")).title.empty());
}

TEST(FileTags, ForeignTagsTakeTheNewTitleAndKeepTheAudio) {
    if (!fixtures::has_program("oggenc") || !fixtures::has_program("ffmpeg"))
        GTEST_SKIP() << "oggenc or ffmpeg missing";
    const std::string wav = fixtures::path_in_scratch("retitle_source.wav");
    fixtures::write_file(wav, fixtures::pcm_wav(fixtures::test_signal(1, 22050, 1.0), 1, 22050));
    std::vector<std::string> files;
    const std::string ogg = fixtures::path_in_scratch("retitle.ogg");
    ASSERT_TRUE(fixtures::run("oggenc -Q -a Someone -t Before -o " + ogg + " " + wav));
    files.push_back(ogg);
    const std::string info = fixtures::path_in_scratch("retitle_info.wav");
    ASSERT_TRUE(
        fixtures::run("ffmpeg -v error -y -i " + wav + " -metadata artist=Someone -metadata title=Before " + info));
    files.push_back(info);
    if (have_mutagen() && fixtures::has_program("lame")) {
        const std::string ape = file_with("retitle_ape.mp3", {}, plain_mp3());
        ASSERT_TRUE(fixtures::run(std::string(python) +
                                  " -c \"from mutagen.apev2 import APEv2; t = APEv2(); "
                                  "t['Artist'] = 'Someone'; t['Title'] = 'Before'; t.save('" +
                                  ape + "')\""));
        files.push_back(ape);
        files.push_back(file_with("retitle_v22.mp3", id3v22("Someone", "Before"), plain_mp3()));
    }
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        const std::u16string path16 = os::from_utf8(path);
        EXPECT_TRUE(has_foreign_tags(path16));
        const std::string audio_before = output_of("ffmpeg -v error -i " + path + " -map 0:a -f md5 -");
        ASSERT_FALSE(audio_before.empty());
        ASSERT_TRUE(write_file_title(path16, u"After \u00FCber"));
        const RecordTags tags = read_file_tags(path16);
        EXPECT_EQ(tags.title, u"After \u00FCber");
        EXPECT_EQ(tags.artist, u"Someone");
        EXPECT_EQ(output_of("ffmpeg -v error -i " + path + " -map 0:a -f md5 -"), audio_before);
        // Another reader sees it too: ffprobe reads Vorbis comments and INFO, mutagen APE tags.
        std::string probe = output_of("ffprobe -v error -show_entries format_tags:stream_tags " + path);
        if (probe.find("After") == std::string::npos && have_mutagen()) {
            probe = output_of(std::string(python) + " -c \"from mutagen.apev2 import APEv2; print(APEv2('" + path +
                              "').pprint())\"");
        }
        EXPECT_NE(probe.find("After \xc3\xbc"
                             "ber"),
                  std::string::npos)
            << probe;
    }
    // Our own recordings' tags stay with our own writer.
    const std::string ours = file_with("ours.mp3", {}, {});
    EXPECT_FALSE(has_foreign_tags(os::from_utf8(ours)));
}

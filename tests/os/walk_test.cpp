#include "os/walk.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "os/text.h"
#include "tests/os/temp_root.h"

namespace {

class Recorder final : public os::WalkVisitor {
public:
    explicit Recorder(std::u16string root, std::u16string stop_at = {})
        : m_root(std::move(root)), m_stop_at(std::move(stop_at)) {}
    bool on_file(const std::u16string& path) override { return note(u"file ", path); }
    bool on_folder(const std::u16string& path) override { return note(u"folder ", path); }
    std::u16string events;

private:
    bool note(const char16_t* kind, const std::u16string& path) {
        const std::u16string relative = path.substr(m_root.size());
        events += kind + relative + u"\n";
        return relative != m_stop_at;
    }
    std::u16string m_root;
    std::u16string m_stop_at;
};

void make_tree(const std::string& root) {
    for (const char* folder : {"/sub1", "/sub1/deeper", "/sub2", "/zz"}) ::mkdir((root + folder).c_str(), 0755);
    for (const char* file :
         {"/a.mp3", "/b.wav", "/C.MP3", "/noext", "/sub1/d.mp3", "/sub1/deeper/e.mp3", "/sub2/f.txt"}) {
        write_bytes(root + file, "x");
    }
    // A link back up the tree must not send the walk round in circles.
    ::symlink(root.c_str(), (root + "/sub2/loop").c_str());
}

}  // namespace

TEST(Walk, FilesFirstThenFoldersDepthFirstWithMasks) {
    TempRoot root;
    make_tree(root.path());

    Recorder all(root.text());
    EXPECT_TRUE(os::walk(all, root.text() + u"/", u"*.mp3", u"*", true));
    EXPECT_EQ(all.events,
              u"file /C.MP3\nfile /a.mp3\n"
              u"folder /sub1\nfile /sub1/d.mp3\nfolder /sub1/deeper\nfile /sub1/deeper/e.mp3\n"
              u"folder /sub2\nfolder /sub2/loop\nfolder /zz\n");

    Recorder flat(root.text());
    EXPECT_TRUE(os::walk(flat, root.text(), u"*.*", u"sub?", false));
    EXPECT_EQ(flat.events, u"file /C.MP3\nfile /a.mp3\nfile /b.wav\nfile /noext\nfolder /sub1\nfolder /sub2\n");

    Recorder stopped(root.text(), u"/sub1/d.mp3");
    EXPECT_FALSE(os::walk(stopped, root.text(), u"*.mp3", u"*", true));
    EXPECT_EQ(stopped.events, u"file /C.MP3\nfile /a.mp3\nfolder /sub1\nfile /sub1/d.mp3\n");

    int files = 0;
    EXPECT_TRUE(os::walk(
        root.text() + u"/missing", u"*", u"*", true, [&](const std::u16string&) { return ++files, true; }, nullptr));
    EXPECT_EQ(files, 0);
}

TEST(Walk, MasksMatchLikeThePlatform) {
    EXPECT_TRUE(os::matches_mask(u"Note.MP3", u"*.mp3"));
    EXPECT_TRUE(os::matches_mask(u"noext", u"*.*"));
    EXPECT_TRUE(os::matches_mask(u"aXbYc", u"a*b*c"));
    EXPECT_TRUE(os::matches_mask(u"abcbc", u"*bc"));
    EXPECT_TRUE(os::matches_mask(u"sub1", u"sub?"));
    EXPECT_FALSE(os::matches_mask(u"sub12", u"sub?"));
    EXPECT_FALSE(os::matches_mask(u"ab", u"abc"));
    EXPECT_FALSE(os::matches_mask(u"a.wav", u"*.mp3"));
    EXPECT_TRUE(os::matches_mask(u"", u"*"));
    EXPECT_TRUE(os::matches_mask(u"Ärger.wav", u"ä*"));
}

// An unreadable folder is passed over and the walk goes on. Root reads everything, so the walk
// runs in a child process that has given up root.
TEST(Walk, UnreadableFoldersAreSkipped) {
    TempRoot root;
    make_tree(root.path());
    ::mkdir((root.path() + "/sub1/locked").c_str(), 0755);
    write_bytes(root.path() + "/sub1/locked/secret.mp3", "x");
    ASSERT_EQ(::chmod((root.path() + "/sub1/locked").c_str(), 0), 0);
    std::string all_events;
    int pipe_ends[2];
    ASSERT_EQ(::pipe(pipe_ends), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(pipe_ends[0]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
        Recorder recorder(root.text());
        const bool finished = os::walk(recorder, root.text(), u"*.mp3", u"*", true);
        const std::string events = os::to_utf8(recorder.events) + (finished ? "finished" : "stopped");
        (void)!::write(pipe_ends[1], events.data(), events.size());
        ::_exit(0);
    }
    ::close(pipe_ends[1]);
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipe_ends[0], buffer, sizeof buffer)) > 0;) all_events.append(buffer, n);
    ::close(pipe_ends[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(all_events,
              "file /C.MP3\nfile /a.mp3\n"
              "folder /sub1\nfile /sub1/d.mp3\nfolder /sub1/deeper\nfile /sub1/deeper/e.mp3\n"
              "folder /sub1/locked\n"
              "folder /sub2\nfolder /sub2/loop\nfolder /zz\nfinished");
}

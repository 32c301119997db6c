#include "os/mail.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "os/text.h"
#include "tests/os/temp_root.h"

namespace {

std::string read_pipe(const std::string& fifo) {
    const int in = ::open(fifo.c_str(), O_RDONLY);
    if (in < 0) return "<no pipe>";
    std::string answer;
    char buffer[256];
    for (ssize_t n; (n = ::read(in, buffer, sizeof buffer)) > 0;) answer.append(buffer, n);
    ::close(in);
    return answer;
}

}  // namespace

TEST(Mail, HandsTheFileToXdgEmailAsOneArgument) {
    TempRoot root;
    const std::string bin = root.path() + "/bin";
    ASSERT_EQ(::mkdir(bin.c_str(), 0755), 0);
    const std::string fifo = root.path() + "/argv";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // The fake composer tells its arguments through the pipe; the test waits on the pipe.
    write_bytes(bin + "/xdg-email", "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > \"" + fifo + "\"\n");
    ASSERT_EQ(::chmod((bin + "/xdg-email").c_str(), 0755), 0);

    // Spaces, both quotes, a shell's special characters and a backslash all reach the composer.
    const std::string recording = root.path() + "/My Quillon/Note \"1\" it's $HOME;x\\y.mp3";
    ASSERT_EQ(::mkdir((root.path() + "/My Quillon").c_str(), 0755), 0);
    write_bytes(recording, "ID3");
    {
        ScopedEnv path("PATH", bin.c_str());  // only the fake composer is found
        ASSERT_TRUE(os::send_by_mail(os::from_utf8(recording)));
    }
    EXPECT_EQ(read_pipe(fifo), "2|--attach|" + recording + "|");

    // Nothing to attach: the composer is not started at all.
    ScopedEnv path("PATH", bin.c_str());  // only the fake composer is found
    EXPECT_FALSE(os::send_by_mail(os::from_utf8(root.path() + "/My Quillon/gone.mp3")));
    EXPECT_FALSE(os::send_by_mail(os::from_utf8(root.path() + "/My Quillon")));
    EXPECT_FALSE(os::send_by_mail(u""));
}

TEST(Mail, MissingOrUnstartableComposerIsAFailure) {
    TempRoot root;
    const std::string bin = root.path() + "/bin";
    ASSERT_EQ(::mkdir(bin.c_str(), 0755), 0);
    const std::string recording = root.path() + "/note.mp3";
    write_bytes(recording, "ID3");
    ScopedEnv path("PATH", bin.c_str());  // only the fake composer is found
    EXPECT_FALSE(os::send_by_mail(os::from_utf8(recording)));

    // Present but not executable.
    write_bytes(bin + "/xdg-email", "#!/bin/sh\nexit 0\n");
    ASSERT_EQ(::chmod((bin + "/xdg-email").c_str(), 0644), 0);
    EXPECT_FALSE(os::send_by_mail(os::from_utf8(recording)));
}

#include "os/execute.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "os/log.h"
#include "os/registry.h"
#include "os/text.h"
#include "tests/os/temp_root.h"

TEST(Execute, ParametersSplitIntoWordsWithQuotes) {
    EXPECT_EQ(os::split_parameters(u"-attach \"/My Quillon/Note 1.mp3\""),
              (std::vector<std::u16string>{u"-attach", u"/My Quillon/Note 1.mp3"}));
    EXPECT_EQ(os::split_parameters(u"  a\tb  "), (std::vector<std::u16string>{u"a", u"b"}));
    EXPECT_EQ(os::split_parameters(u"\"\" x"), (std::vector<std::u16string>{u"", u"x"}));
    EXPECT_TRUE(os::split_parameters(u"").empty());
}

TEST(Execute, StartsAProgramWithoutAShellAndWithoutWaiting) {
    TempRoot root;
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 1));
    const std::string fifo = root.path() + "/answer";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string script = root.path() + "/program.sh";
    // The program tells its arguments through the pipe; the test waits on the pipe, not a clock.
    write_bytes(script, "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" > \"" + fifo + "\"\n");
    ASSERT_EQ(::chmod(script.c_str(), 0755), 0);

    const std::u16string parameters = u"--attach \"a b.mp3\" $HOME;echo";
    ASSERT_TRUE(os::execute_file(os::from_utf8(script), parameters));
    const int in = ::open(fifo.c_str(), O_RDONLY);
    ASSERT_GE(in, 0);
    std::string answer;
    char buffer[256];
    for (ssize_t n; (n = ::read(in, buffer, sizeof buffer)) > 0;) answer.append(buffer, n);
    ::close(in);
    // No shell saw the words: "$HOME;echo" arrives as it was written.
    EXPECT_EQ(answer, "3|--attach|a b.mp3|$HOME;echo|");

    EXPECT_FALSE(os::execute_file(u"quillon-no-such-program-anywhere", u""));
    const std::u16string text = read_log_text(os::to_utf8(os::log_file_path()));
    EXPECT_EQ(text.find(u"execute_file(" + os::from_utf8(script) + u"} {" + parameters + u")\n"), 0u)
        << os::to_utf8(text);
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 0));
}

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

TEST(Execute, HowAStartedProgramEndedIsKeptForTheStarter) {
    TempRoot root;
    const std::string script = root.path() + "/answer.sh";
    const std::string fifo = root.path() + "/go";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // The program ends with the status the test writes into the pipe, so it runs until told.
    write_bytes(script, "#!/bin/sh\nread code < \"" + fifo + "\"\nexit $code\n");
    ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
    auto wait_for_end = [](const os::ChildExit& exit) {
        for (int i = 0; i < 2000 && !exit.ended.load(); ++i) ::usleep(10000);
        return exit.ended.load();
    };
    auto tell = [&](const char* code) {
        const int out = ::open(fifo.c_str(), O_WRONLY);
        ASSERT_GE(out, 0);
        ASSERT_EQ(::write(out, code, 2), 2);
        ::close(out);
    };

    std::shared_ptr<const os::ChildExit> failing = os::start_program(os::from_utf8(script), {});
    ASSERT_NE(failing, nullptr);
    EXPECT_FALSE(failing->ended.load());  // still waiting for its word: the start did not wait
    EXPECT_FALSE(failing->failed());
    tell("3\n");
    ASSERT_TRUE(wait_for_end(*failing));
    EXPECT_EQ(failing->exit_code.load(), 3);
    EXPECT_TRUE(failing->failed());

    std::shared_ptr<const os::ChildExit> fine = os::start_file(os::from_utf8(script), u"");
    ASSERT_NE(fine, nullptr);
    tell("0\n");
    ASSERT_TRUE(wait_for_end(*fine));
    EXPECT_FALSE(fine->failed());

    EXPECT_EQ(os::start_program(u"quillon-no-such-program-anywhere", {}), nullptr);
}

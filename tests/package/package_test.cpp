// The Debian package as a user gets it: built with cpack from this build, unpacked into a scratch
// root with dpkg -x, checked by the desktop's own validators, and its programs started from there.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "os/registry.h"
#include "os/text.h"
#include "tests/app/process_helpers.h"
#include "tests/os/temp_root.h"

namespace fs = std::filesystem;

namespace {

// The validators say what they found on standard error: it is kept with the output.
RunResult run_reporting(const std::vector<std::string>& words) { return run(words, true); }

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// One package for every test: cpack takes a while.
class Package : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_scratch = std::make_unique<TempFolder>("quillon-package");
        scratch = s_scratch->path();
        const RunResult packed = run_reporting(
            {"cpack", "-G", "DEB", "--config", QUILLON_BUILD_DIR "/CPackConfig.cmake", "-B", scratch + "/out"});
        cpack_output = packed.output;
        for (const auto& entry : fs::directory_iterator(scratch + "/out")) {
            if (entry.path().extension() == ".deb") deb = entry.path().string();
        }
        root = scratch + "/root";
        if (!deb.empty()) run_reporting({"dpkg", "-x", deb, root});
    }
    static void TearDownTestSuite() { s_scratch.reset(); }
    void SetUp() override { ASSERT_FALSE(deb.empty()) << cpack_output; }

    static inline std::unique_ptr<TempFolder> s_scratch;
    static inline std::string scratch;
    static inline std::string cpack_output;
    static inline std::string deb;
    static inline std::string root;
};

TEST_F(Package, NamesItsDependenciesAndPutsEveryFileWhereTheSystemLooks) {
    EXPECT_EQ(fs::path(deb).filename().string().rfind("quillon-touch_", 0), 0u) << deb;
    const RunResult depends = run_reporting({"dpkg-deb", "--field", deb, "Depends"});
    ASSERT_EQ(depends.status, 0);
    // From the shared libraries the programs link, and the font they load.
    for (const char* library : {"libsdl2-2.0-0", "libmp3lame0", "libsqlite3-0", "libglib2.0-0", "fonts-dejavu-core"}) {
        EXPECT_NE(depends.output.find(library), std::string::npos) << depends.output;
    }

    const fs::path usr = fs::path(root) / "usr";
    for (const char* program : {"quillon-touch", "quillon-tool", "quillon-phone", "quillon-skinc"}) {
        EXPECT_TRUE(fs::is_regular_file(usr / "bin" / program)) << program;
        EXPECT_TRUE(fs::is_regular_file(usr / "share/man/man1" / (std::string(program) + ".1.gz"))) << program;
        EXPECT_TRUE(fs::is_regular_file(usr / "share/bash-completion/completions" / program)) << program;
        EXPECT_FALSE(fs::exists(usr / "share/quillon-touch" / program)) << program;
    }
    for (const char* data :
         {"skins/bin/splash.skin", "skins/bin/default.skin", "english.lng", "german.lng", "russian.lng", "keyboard.txt",
          "Voicbeep.wav", "RecEnd.wav", "help/english.html", "help/german.html", "help/russian.html"}) {
        EXPECT_TRUE(fs::is_regular_file(usr / "share/quillon-touch" / data)) << data;
    }
    EXPECT_TRUE(fs::is_regular_file(usr / "share/icons/hicolor/scalable/apps/com.korvel.QuillonTouch.svg"));
    for (const char* size : {"16x16", "48x48", "256x256"}) {
        EXPECT_TRUE(fs::is_regular_file(usr / "share/icons/hicolor" / size / "apps/com.korvel.QuillonTouch.png"))
            << size;
    }
    EXPECT_TRUE(fs::is_regular_file(usr / "lib/systemd/user/quillon-phone-bridge.service"));
    EXPECT_TRUE(fs::is_regular_file(usr / "share/doc/quillon-touch/README.md"));
}

TEST_F(Package, PassesTheDesktopValidators) {
    const fs::path share = fs::path(root) / "usr/share";
    const RunResult desktop =
        run_reporting({"desktop-file-validate", (share / "applications/com.korvel.QuillonTouch.desktop")});
    EXPECT_EQ(desktop.status, 0) << desktop.output;
    EXPECT_EQ(desktop.output, "");
    const std::string entry = read_file(share / "applications/com.korvel.QuillonTouch.desktop");
    EXPECT_NE(entry.find("\nName=Record a voice note\nName[de]"), std::string::npos);
    EXPECT_NE(entry.find("\nExec=quillon-touch record\n"), std::string::npos);

    const RunResult metainfo = run_reporting(
        {"appstreamcli", "validate", "--no-net", share / "metainfo/com.korvel.QuillonTouch.metainfo.xml"});
    EXPECT_EQ(metainfo.status, 0) << metainfo.output;

    for (const char* program : {"quillon-touch", "quillon-tool", "quillon-phone", "quillon-skinc"}) {
        const RunResult page = run_reporting(
            {"man", "--warnings", "-E", "UTF-8", "-l", share / "man/man1" / (std::string(program) + ".1.gz")});
        EXPECT_EQ(page.status, 0) << program;
        EXPECT_NE(page.output.find(program), std::string::npos) << program;
        // Warnings come before the page.
        EXPECT_EQ(page.output.find("warning"), std::string::npos) << page.output;
    }

    // systemd resolves the program on its own search path; here it is the unpacked one.
    std::string unit = read_file(fs::path(root) / "usr/lib/systemd/user/quillon-phone-bridge.service");
    const std::string exec = "ExecStart=quillon-phone";
    ASSERT_NE(unit.find(exec), std::string::npos);
    unit.replace(unit.find(exec), exec.size(), "ExecStart=" + root + "/usr/bin/quillon-phone");
    const std::string copy = scratch + "/quillon-phone-bridge.service";
    std::ofstream(copy) << unit;
    const RunResult verified = run_reporting({"systemd-analyze", "verify", copy});
    EXPECT_EQ(verified.status, 0) << verified.output;
}

TEST_F(Package, TheInstalledProgramsFindTheirDataAndStartWithoutAWindow) {
    TempRoot home;
    FolderWatch watch(home.path());
    ScopedEnv env;
    env.unset("QUILLON_APP_DIR");
    env.set("QUILLON_SCREENSHOT", home.path() + "/shot.png");
    const std::u16string korvel = u"HKEY_CURRENT_USER\\Software\\Korvel";
    ASSERT_TRUE(os::reg_write_dword(korvel, u"Log", 1));
    ASSERT_TRUE(os::reg_flush(korvel));

    const std::string touch = root + "/usr/bin/quillon-touch";
    std::vector<char*> argv = {const_cast<char*>(touch.c_str()), const_cast<char*>("--headless"), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(::posix_spawn(&pid, touch.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    const std::string log_path = home.path() + "/Temp/quillon-touch.txt";
    const auto log = [&] { return os::to_utf8(read_log_text(log_path)); };
    // The language and the main skin load at the splash timer, then the second loading phase.
    const bool started = watch.wait_until([&] { return log().find("load_secondary_things:") != std::string::npos; });
    ::kill(pid, SIGTERM);
    int status = -1;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(started) << log();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(log().find("no splash skin"), std::string::npos) << log();
    EXPECT_TRUE(fs::exists(home.path() + "/shot.png"));
    env.unset("QUILLON_SCREENSHOT");

    // quillon-tool reads the same data folder: every installed language file is checked.
    const std::string tool = root + "/usr/bin/quillon-tool";
    const RunResult languages = run_reporting({tool, "lang-check"});
    EXPECT_NE(languages.output.find(root + "/usr/share/quillon-touch/german.lng: "), std::string::npos)
        << languages.output;
    const RunResult help = run_reporting({tool, "record", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.rfind("usage: quillon-tool record [--seconds N]", 0), 0u) << help.output;
    EXPECT_FALSE(fs::exists(home.path() + "/Documents/My Quillon")) << "--help recorded";

    // The completion asks the installed tool for its commands.
    const std::string script = "source " + root + "/usr/share/bash-completion/completions/quillon-tool; PATH=" + root +
                               "/usr/bin:$PATH; COMP_WORDS=(quillon-tool re); COMP_CWORD=1; _quillon_tool; "
                               "echo \"${COMPREPLY[*]}\"; COMP_WORDS=(quillon-phone speaker o); COMP_CWORD=2; "
                               "_quillon_phone; echo \"${COMPREPLY[*]}\"";
    const RunResult completed = run_reporting({"bash", "-c", script});
    EXPECT_EQ(completed.output, "record rename render\non off\n");
}

}  // namespace

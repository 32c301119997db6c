#include "os/path.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "os/text.h"
#include "tests/os/temp_root.h"

namespace {
std::u16string program_folder() {
    char buffer[1024];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    std::string path(buffer, n > 0 ? static_cast<size_t>(n) : 0);
    return os::from_utf8(path.substr(0, path.rfind('/')));
}
}  // namespace

TEST(Path, MacrosExpandAtTheBeginningOnly) {
    TempRoot root;
    EXPECT_EQ(os::expand_path(u"%app_path%/skins/bin/splash.skin"), program_folder() + u"/skins/bin/splash.skin");
    EXPECT_EQ(os::expand_path(u"%app_path%\\skins\\bin\\default.skin"), program_folder() + u"/skins/bin/default.skin");
    EXPECT_EQ(os::expand_path(u"%app_name%.txt"), u"os_tests.txt");
    EXPECT_EQ(os::expand_path(u"%app_full_name%"), program_folder() + u"/os_tests");
    EXPECT_EQ(os::expand_path(u"%my_documents%\\My Quillon"), root.text() + u"/Documents/My Quillon");
    EXPECT_EQ(os::expand_path(u"%windows%/Tmail.exe"), root.text() + u"/windows/Tmail.exe");
    // Elsewhere a macro is plain text; an unknown one is copied as it stands.
    EXPECT_EQ(os::expand_path(u"\\x\\%app_path%"), u"/x/%app_path%");
    EXPECT_EQ(os::expand_path(u"%nothing%\\a"), u"%nothing%/a");
    EXPECT_EQ(os::expand_path(u""), u"");
}

TEST(Path, DataFilesBesideTheProgramOrInItsShareFolder) {
    TempRoot root;
    namespace fs = std::filesystem;
    // The build tree: skins beside the program win even where a share folder exists too.
    fs::create_directories(root.path() + "/build/bin/skins/bin");
    fs::create_directories(root.path() + "/build/share/quillon-touch");
    EXPECT_EQ(os::data_folder_of(root.text() + u"/build/bin/"), root.text() + u"/build/bin");
    // Installed: bin/ holds programs only, the data is under share/.
    fs::create_directories(root.path() + "/usr/bin");
    fs::create_directories(root.path() + "/usr/share/quillon-touch/skins/bin");
    EXPECT_EQ(os::data_folder_of(root.text() + u"/usr/bin"), root.text() + u"/usr/share/quillon-touch");
    // Neither: the program's own folder, where the missing files are then reported.
    fs::create_directories(root.path() + "/loose");
    EXPECT_EQ(os::data_folder_of(root.text() + u"/loose"), root.text() + u"/loose");
    EXPECT_EQ(os::program_folder(), program_folder());
}

TEST(Path, TextOperations) {
    EXPECT_EQ(os::extension_of(u"a\\b.c\\d"), u"");
    EXPECT_EQ(os::extension_of(u"c.wav"), u"wav");
    EXPECT_EQ(os::extension_of(u"/x/archive.tar.gz"), u"gz");
    EXPECT_EQ(os::strip_extension(u"a/b.c/d"), u"a/b.c/d");
    EXPECT_EQ(os::strip_extension(u"a/b.c/d.mp3"), u"a/b.c/d");
    EXPECT_EQ(os::title_of(u"\\My Quillon\\Note 1.mp3"), u"Note 1");
    EXPECT_EQ(os::file_name_of(u"name"), u"name");
    EXPECT_EQ(os::folder_of(u"name"), u"");
    EXPECT_EQ(os::folder_of(u"a\\b/c"), u"a\\b/");
    EXPECT_EQ(os::strip_separator(u"a/"), u"a");
    EXPECT_EQ(os::strip_separator(u"a//"), u"a/");

    EXPECT_EQ(os::join(u"", u"n.mp3"), u"n.mp3");
    EXPECT_EQ(os::join(u"/a/", u"n.mp3"), u"/a/n.mp3");
    EXPECT_EQ(os::join(u"\\a\\", u"n.mp3"), u"\\a/n.mp3");
    EXPECT_EQ(os::join(u"/a", u"n.mp3"), u"/a/n.mp3");

    EXPECT_EQ(os::parent_of(u"/a/b/"), u"/a/");
    EXPECT_EQ(os::parent_of(u"/a"), u"/");
    EXPECT_EQ(os::parent_of(u"/"), u"");
    EXPECT_EQ(os::root_of(u"\\Storage Card\\x"), u"/");
    EXPECT_EQ(os::root_of(u"relative"), u"relative");

    EXPECT_EQ(os::replace_all(u"a-b-c", u"-", u"--"), u"a--b--c");
    EXPECT_EQ(os::replace_all(u"abc", u"", u"x"), u"abc");
    EXPECT_EQ(os::lower(u"ÄBC Ω"), u"äbc ω");
    EXPECT_EQ(os::upper(u"äbc"), u"ÄBC");
}

TEST(Path, SamePathAndIsUnderFoldCaseAndRespectNameBoundaries) {
    TempRoot root;
    EXPECT_TRUE(os::same_path(u"%my_documents%\\", root.text() + u"/DOCUMENTS"));
    EXPECT_FALSE(os::same_path(u"/a/b", u"/a/c"));
    EXPECT_TRUE(os::is_under(root.text() + u"/Documents/My Quillon", u"%my_documents%"));
    EXPECT_TRUE(os::is_under(u"/Media/Card/x.mp3", u"/media/card/"));
    EXPECT_TRUE(os::is_under(u"/media/card", u"/media/card"));
    // Sharing the first characters is not enough: CARD2 is not inside CARD.
    EXPECT_FALSE(os::is_under(u"/media/CARD2/x", u"/media/CARD"));
    EXPECT_FALSE(os::is_under(u"/media", u"/media/card"));
}

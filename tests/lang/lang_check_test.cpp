// quillon-tool lang-check as translators run it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "tests/lang/lang_test_support.h"

namespace {

struct ToolRun {
    int status = -1;
    std::string output;
};

ToolRun lang_check(const std::string& arguments) {
    ToolRun run;
    const std::string command = std::string(QUILLON_BIN_DIR) + "/quillon-tool lang-check " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace

TEST(LangCheck, ListsMissingAndUnknownKeys) {
    // The shipped files beside the program are complete.
    const ToolRun shipped = lang_check("");
    EXPECT_EQ(shipped.status, 0) << shipped.output;
    for (const char* file : {"english.lng: ", "german.lng: ", "russian.lng: "}) {
        const size_t at = shipped.output.find(file);
        ASSERT_NE(at, std::string::npos) << shipped.output;
        EXPECT_NE(shipped.output.find(" texts, 0 missing, 0 unknown", at), std::string::npos) << shipped.output;
    }

    lang_test::TempFolder folder;
    const std::string file = folder.path("draft.lng");
    lang_test::write_utf16(file,
                           u"Cancel=Annuler\r\nCancle=typo\r\nConfirm_deleting=Supprimer ?\r\nCancel=Annuler\r\n");
    const ToolRun draft = lang_check(file);
    EXPECT_EQ(draft.status, 1);
    EXPECT_NE(draft.output.find(file + ": missing NoSkins"), std::string::npos) << draft.output;
    EXPECT_EQ(draft.output.find(file + ": missing Cancel"), std::string::npos) << draft.output;
    EXPECT_NE(draft.output.find(file + ": unknown Cancle"), std::string::npos) << draft.output;
    EXPECT_NE(draft.output.find(file + ": repeated Cancel"), std::string::npos) << draft.output;
    EXPECT_NE(draft.output.find(file + ": variable lost in Confirm_deleting"), std::string::npos) << draft.output;

    const ToolRun missing = lang_check(folder.path("none.lng"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.output.find("cannot be read"), std::string::npos);
    EXPECT_EQ(lang_check("a b").status, 1);
}

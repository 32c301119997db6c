#include "os/buttons/registry_buttons.h"

#include <gtest/gtest.h>

#include "os/log.h"
#include "os/path.h"
#include "os/registry.h"
#include "os/text.h"
#include "tests/os/temp_root.h"

namespace {

const std::u16string kKeys(os::RegistryButtons::keys_root);

void add_button(const std::u16string& key, std::u16string_view name, std::u16string_view command) {
    ASSERT_TRUE(os::reg_write_string(kKeys + u"\\" + key, u"Name", name));
    ASSERT_TRUE(os::reg_write_string(kKeys + u"\\" + key, u"", command));
    ASSERT_TRUE(os::reg_write_string(kKeys + u"\\" + key, u"Icon", u"\\windows\\calendar.exe,0"));
}

std::u16string stored(const std::u16string& key, std::u16string_view name) {
    std::u16string value = u"<absent>";
    os::reg_read_string(kKeys + u"\\" + key, name, value);
    return value;
}

}  // namespace

TEST(QuickRecordCommand, IsOursOnlyWhenItRunsThisProgramToRecord) {
    EXPECT_EQ(os::quick_record_command(), u"\"" + os::app_full_name() + u"\" record");
    EXPECT_TRUE(os::is_quick_record_command(os::quick_record_command()));
    const std::u16string folder = os::program_folder();
    EXPECT_TRUE(os::is_quick_record_command(u"'" + folder + u"/quillon-touch' record"));
    EXPECT_TRUE(os::is_quick_record_command(folder + u"/quillon-touch record"));
    EXPECT_TRUE(os::is_quick_record_command(u"  \"" + folder + u"/quillon-touch\"   'record'  "));

    // Other programs in the same folder (a shared "bin") are the user's.
    EXPECT_FALSE(os::is_quick_record_command(folder + u"/flameshot gui"));
    EXPECT_FALSE(os::is_quick_record_command(u"\"" + folder + u"/flameshot\" record"));
    EXPECT_FALSE(os::is_quick_record_command(folder + u"/quillon-tool record"));
    // The program with other words, or none, is not the quick-record command.
    EXPECT_FALSE(os::is_quick_record_command(folder + u"/quillon-touch"));
    EXPECT_FALSE(os::is_quick_record_command(folder + u"/quillon-touch call"));
    EXPECT_FALSE(os::is_quick_record_command(folder + u"/quillon-touch record --fullscreen"));
    EXPECT_FALSE(os::is_quick_record_command(u"sh -c '" + folder + u"/quillon-touch record'"));
    // A folder whose name merely begins the same is another place.
    EXPECT_FALSE(os::is_quick_record_command(folder + u"2/quillon-touch record"));
    EXPECT_FALSE(os::is_quick_record_command(u""));
    EXPECT_FALSE(os::is_quick_record_command(u"\\windows\\calendar.exe"));
}

TEST(QuickRecordCommand, WordsAreSplitWithTheirQuotingUndone) {
    using Words = std::vector<std::u16string>;
    EXPECT_EQ(os::command_words(u"\"/opt/my quillon/quillon-touch\" record"),
              (Words{u"/opt/my quillon/quillon-touch", u"record"}));
    EXPECT_EQ(os::command_words(u"\"/opt/a\\\"\\$b/q\" x"), (Words{u"/opt/a\"$b/q", u"x"}));
    EXPECT_EQ(os::command_words(u"a\\ b 'c d'e \"\""), (Words{u"a b", u"c de", u""}));
    EXPECT_TRUE(os::command_words(u"  \t ").empty());
}

TEST(RegistryButtons, ChoosingAButtonTakesTheOtherBackAndRestoresIt) {
    TempRoot root;
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 1));
    os::RegistryButtons platform;
    EXPECT_EQ(platform.count_buttons(), 0u);
    EXPECT_TRUE(platform.list_buttons().empty());

    add_button(u"40C1", u"Button 1", u"\\windows\\calendar.exe");
    add_button(u"40C2", u"Button 2", u"\\windows\\camera.exe");
    EXPECT_EQ(platform.count_buttons(), 2u);
    std::vector<os::HardwareButton> buttons = platform.list_buttons();
    ASSERT_EQ(buttons.size(), 2u);
    EXPECT_EQ(buttons[0].location, kKeys + u"\\40C1");
    EXPECT_EQ(buttons[0].name, u"Button 1");
    EXPECT_EQ(buttons[0].command, u"\\windows\\calendar.exe");
    EXPECT_EQ(buttons[0].icon, u"\\windows\\calendar.exe,0");
    EXPECT_FALSE(buttons[0].assigned);
    EXPECT_FALSE(buttons[1].assigned);

    const std::u16string ours = os::quick_record_command();
    os::choose_button(platform, buttons, 0);
    EXPECT_TRUE(buttons[0].assigned);
    EXPECT_EQ(buttons[0].command, ours);
    EXPECT_EQ(buttons[0].reset_command, u"\\windows\\calendar.exe");
    EXPECT_EQ(stored(u"40C1", u""), ours);
    EXPECT_EQ(stored(u"40C1", u"ResetCmd"), u"\\windows\\calendar.exe");

    // A second button takes the first one back, which runs its old program again.
    os::choose_button(platform, buttons, 1);
    EXPECT_FALSE(buttons[0].assigned);
    EXPECT_TRUE(buttons[1].assigned);
    EXPECT_EQ(buttons[0].command, u"\\windows\\calendar.exe");
    EXPECT_EQ(stored(u"40C1", u""), u"\\windows\\calendar.exe");
    EXPECT_EQ(stored(u"40C2", u""), ours);
    EXPECT_EQ(stored(u"40C2", u"ResetCmd"), u"\\windows\\camera.exe");
    buttons = platform.list_buttons();
    EXPECT_FALSE(buttons[0].assigned);
    EXPECT_TRUE(buttons[1].assigned);
    EXPECT_EQ(buttons[1].reset_command, u"\\windows\\camera.exe");

    // Tapping the checked one unchecks it and restores its command; the registry keeps the
    // program's command to restore.
    os::choose_button(platform, buttons, 1);
    EXPECT_FALSE(buttons[1].assigned);
    EXPECT_EQ(buttons[1].command, u"\\windows\\camera.exe");
    EXPECT_EQ(stored(u"40C2", u""), u"\\windows\\camera.exe");
    EXPECT_EQ(stored(u"40C2", u"ResetCmd"), ours);
    for (const os::HardwareButton& button : platform.list_buttons()) EXPECT_FALSE(button.assigned);

    // And it can be assigned again, keeping the camera to restore.
    buttons = platform.list_buttons();
    os::choose_button(platform, buttons, 1);
    EXPECT_EQ(stored(u"40C2", u"ResetCmd"), u"\\windows\\camera.exe");
    const std::u16string log = read_log_text(os::to_utf8(os::log_file_path()));
    EXPECT_NE(log.find(u"assign:" + ours + u"\n"), std::u16string::npos) << os::to_utf8(log);
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 0));
}

TEST(RegistryButtons, AReinstalledProgramShowsAsAssignedAndCanBeTakenBack) {
    TempRoot root;
    os::RegistryButtons platform;
    // An earlier install to this folder assigned the button, and the button's history holds
    // nothing but this program.
    const std::u16string earlier = u"'" + os::program_folder() + u"/quillon-touch' record";
    add_button(u"40C1", u"Button 1", earlier);
    ASSERT_TRUE(os::reg_write_string(kKeys + u"\\40C1", u"ResetCmd", earlier));
    add_button(u"40C2", u"Button 2", u"\"" + os::program_folder() + u"-old/quillon-touch\" record");
    std::vector<os::HardwareButton> buttons = platform.list_buttons();
    EXPECT_TRUE(buttons[0].assigned);
    EXPECT_FALSE(buttons[1].assigned);

    // Taking it back leaves it starting nothing rather than starting the program again.
    os::choose_button(platform, buttons, 0);
    EXPECT_FALSE(buttons[0].assigned);
    EXPECT_EQ(stored(u"40C1", u""), u"");
    EXPECT_FALSE(platform.list_buttons()[0].assigned);

    // Assigning another button while one is assigned leaves exactly one.
    buttons = platform.list_buttons();
    os::choose_button(platform, buttons, 0);
    buttons = platform.list_buttons();
    os::choose_button(platform, buttons, 1);
    buttons = platform.list_buttons();
    EXPECT_FALSE(buttons[0].assigned);
    EXPECT_TRUE(buttons[1].assigned);
    EXPECT_EQ(buttons[1].reset_command, u"\"" + os::program_folder() + u"-old/quillon-touch\" record");
}

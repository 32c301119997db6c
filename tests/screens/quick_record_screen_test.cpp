// The quick-record options screen on the null display, over the registry kind of buttons in the
// test's own registry: rows, the choosing rule through taps, icons, closing, and a skin reload.
#include "screens/quick_record_screen.h"

#include <gtest/gtest.h>

#include "lang/text_variables.h"
#include "os/buttons/registry_buttons.h"
#include "os/registry.h"
#include "screens/hardware_key_icon.h"
#include "skin/bitmap.h"
#include "skin/key_event.h"
#include "skin/simple_widgets.h"
#include "tests/screens/screen_fixture.h"

namespace {

using screen_test::FakeScreenFixture;

const std::u16string kKeys(os::RegistryButtons::keys_root);

Pixel opaque(Color color) { return static_cast<Pixel>(to_pixel(color) | kOpaqueBit); }

class QuickRecordScreenTest : public FakeScreenFixture {
protected:
    void SetUp() override {
        FakeScreenFixture::SetUp();
        add_button(u"40C1", u"Button 1", u"\\windows\\calendar.exe");
        add_button(u"40C2", u"Button 2", u"\\windows\\camera.exe");
        screen = std::make_unique<QuickRecordScreen>(*context, std::make_unique<os::RegistryButtons>());
    }
    void TearDown() override {
        screen.reset();
        FakeScreenFixture::TearDown();
    }
    static void add_button(const std::u16string& key, std::u16string_view name, std::u16string_view command) {
        ASSERT_TRUE(os::reg_write_string(kKeys + u"\\" + key, u"Name", name));
        ASSERT_TRUE(os::reg_write_string(kKeys + u"\\" + key, u"", command));
    }
    static std::u16string command_of(const std::u16string& key) {
        std::u16string value;
        os::reg_read_string(kKeys + u"\\" + key, u"", value);
        return value;
    }
    VListWidget& list() { return *dynamic_cast<VListWidget*>(screen->find_child(u"list")); }
    Widget& row(int index) {
        frame();
        Widget* found = list().row_for(index);
        EXPECT_NE(found, nullptr);
        return *found;
    }
    bool checked(int index) {
        Widget& shown = row(index);
        const bool on = shown.find_child(u"checked")->is_visible();
        EXPECT_NE(on, shown.find_child(u"unchecked")->is_visible());
        return on;
    }

    std::unique_ptr<QuickRecordScreen> screen;
};

TEST_F(QuickRecordScreenTest, TappingRowsAssignsOneButtonAndRestoresTheOthers) {
    EXPECT_EQ(screen->count_buttons(), 2u);
    screen->open();
    ASSERT_TRUE(screen->is_shown());
    EXPECT_TRUE(stack.top_is_overlay());
    EXPECT_EQ(screen->find_child(u"text")->text(), language.translate(u"SelectButton"));
    ASSERT_EQ(list().count(), 2);
    EXPECT_EQ(row(0).find_child(u"name")->text(), u"Button 1");
    EXPECT_EQ(row(1).find_child(u"name")->text(), u"Button 2");
    EXPECT_FALSE(checked(0));
    EXPECT_FALSE(checked(1));

    // The icon is drawn on the skin's icon background.
    auto* icon = dynamic_cast<ImageWidget*>(row(0).find_child(u"icon"));
    ASSERT_NE(icon, nullptr);
    ASSERT_TRUE(icon->picture().is_valid());
    EXPECT_NE(screen->icon_color(), (Color{0, 0, 0, 255}));
    EXPECT_EQ(icon->picture().bitmap->at(0, 0), opaque(screen->icon_color()));

    // Each row says what its key runs now.
    EXPECT_EQ(row(0).find_child(u"runs")->text(),
              lang::set_text_variable(language.translate(u"KeyRuns"), u"%shortcut%", u"\\windows\\calendar.exe"));

    // The key runs another program: nothing changes before the user says so.
    const std::u16string ours = os::quick_record_command();
    tap(row(0));
    ASSERT_TRUE(screen->confirmation().is_shown());
    EXPECT_NE(screen->confirmation().question().find(u"Button 1"), std::u16string::npos);
    EXPECT_NE(screen->confirmation().question().find(u"\\windows\\calendar.exe"), std::u16string::npos);
    EXPECT_EQ(command_of(u"40C1"), u"\\windows\\calendar.exe");
    press_key(key::Esc);
    EXPECT_FALSE(screen->confirmation().is_shown());
    EXPECT_TRUE(screen->is_shown());
    EXPECT_FALSE(checked(0));
    EXPECT_EQ(command_of(u"40C1"), u"\\windows\\calendar.exe");

    tap(row(0));
    tap(*screen->confirmation().find_child(u"btnOk"));
    EXPECT_FALSE(screen->confirmation().is_shown());
    EXPECT_TRUE(checked(0));
    EXPECT_FALSE(checked(1));
    EXPECT_EQ(command_of(u"40C1"), ours);
    EXPECT_EQ(row(0).find_child(u"runs")->text(), language.translate(u"KeyRecords"));

    // Checking the second (after its question) unchecks the first and gives it back its program.
    // The question opens on its safe answer: Enter alone takes nothing, the arrow then Enter does.
    tap(row(1));
    press_key(key::Enter);
    EXPECT_FALSE(screen->confirmation().is_shown());
    EXPECT_TRUE(checked(0));
    EXPECT_EQ(command_of(u"40C2"), u"\\windows\\camera.exe");
    tap(row(1));
    press_key(key::Right);
    press_key(key::Enter);
    EXPECT_FALSE(checked(0));
    EXPECT_TRUE(checked(1));
    EXPECT_EQ(command_of(u"40C1"), u"\\windows\\calendar.exe");
    EXPECT_EQ(command_of(u"40C2"), ours);

    // Tapping the checked row unchecks it and restores its command, with no question.
    tap(row(1));
    EXPECT_FALSE(screen->confirmation().is_shown());
    EXPECT_FALSE(checked(1));
    EXPECT_EQ(command_of(u"40C2"), u"\\windows\\camera.exe");

    // Reopened, the screen shows what the platform holds.
    screen->choose(0);
    screen->confirmation().confirm();
    tap(*screen->find_child(u"btnOk"));
    EXPECT_FALSE(screen->is_shown());
    screen->open();
    EXPECT_TRUE(checked(0));
    EXPECT_FALSE(checked(1));
}

TEST_F(QuickRecordScreenTest, KeysCloseAndASkinReloadKeepsTheRows) {
    screen->open();
    screen->choose(1);
    screen->confirmation().confirm();
    skin.send_reload_skin();
    ASSERT_EQ(list().count(), 2);
    EXPECT_EQ(row(1).find_child(u"name")->text(), u"Button 2");
    EXPECT_TRUE(checked(1));
    EXPECT_EQ(screen->find_child(u"text")->text(), language.translate(u"SelectButton"));
    press_key(key::Backspace);
    EXPECT_FALSE(screen->is_shown());
    EXPECT_EQ(stack.depth(), 0u);
}

TEST(HardwareKeyIcon, SignsAreDrawnOnTheBackgroundInAReadableInk) {
    const Color background{0x30, 0x30, 0x38, 255};
    EXPECT_EQ(screens::hardware_key_sign(u"media-record"), screens::HardwareKeySign::Record);
    EXPECT_EQ(screens::hardware_key_sign(u"\\windows\\camera.exe,0"), screens::HardwareKeySign::Key);

    const PictureRef disc = screens::make_hardware_key_icon(screens::HardwareKeySign::Record, background, {32, 32});
    ASSERT_TRUE(disc.is_valid());
    EXPECT_EQ(disc.natural_size(), (Size{32, 32}));
    EXPECT_EQ(disc.bitmap->at(0, 0), opaque(background));
    EXPECT_EQ(disc.bitmap->at(16, 16), opaque(Color{0xE5, 0x39, 0x35, 255}));

    const PictureRef cap = screens::make_hardware_key_icon(screens::HardwareKeySign::Key, background, {64, 64});
    ASSERT_TRUE(cap.is_valid());
    // A keyboard's outline in light ink on a dark background, hollow between the edge and the keys.
    EXPECT_EQ(cap.bitmap->at(6, 32), opaque(Color{0xF2, 0xF2, 0xF2, 255}));
    EXPECT_EQ(cap.bitmap->at(10, 32), opaque(background));
    EXPECT_EQ(cap.bitmap->at(1, 1), opaque(background));
    const PictureRef light =
        screens::make_hardware_key_icon(screens::HardwareKeySign::Key, {0xF0, 0xF0, 0xF0, 255}, {64, 64});
    EXPECT_EQ(light.bitmap->at(6, 32), opaque(Color{0x20, 0x20, 0x20, 255}));
    EXPECT_FALSE(screens::make_hardware_key_icon(screens::HardwareKeySign::Key, background, {0, 32}).is_valid());
}

}  // namespace

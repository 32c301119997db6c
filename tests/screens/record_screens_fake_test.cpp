// The recording and playback screens on the stand-in document: what they show of its running values
// and which commands their buttons and keys give, with no audio running and no time passing.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "screens/dialogs.h"
#include "screens/menu.h"
#include "screens/playback_screen.h"
#include "screens/record_formats.h"
#include "screens/recording_screen.h"
#include "skin/key_event.h"
#include "skin/progress_widget.h"
#include "tests/screens/screen_fixture.h"

namespace {

using screen_test::FakeScreenFixture;

class RecordScreensFakeTest : public FakeScreenFixture {
protected:
    void SetUp() override {
        FakeScreenFixture::SetUp();
        menu = std::make_unique<Menu>(*context);
        rename = std::make_unique<RenameDialog>(*context);
        error = std::make_unique<ErrorDialog>(*context);
        recording = std::make_unique<RecordingScreen>(*context, *menu, *rename);
        playback = std::make_unique<PlaybackScreen>(*context, *menu, *rename, *error);
    }
    void TearDown() override {
        playback.reset();
        recording.reset();
        error.reset();
        rename.reset();
        menu.reset();
        FakeScreenFixture::TearDown();
    }
    static double bar_value(Widget& screen, std::u16string_view id) {
        auto* bar = dynamic_cast<ProgressWidget*>(screen.find_child(id));
        return bar ? bar->value() : -1.0;
    }
    static bool visible(Widget& screen, std::u16string_view id) { return screen.find_child(id)->is_visible(); }
    int count(const std::string& command) const {
        return static_cast<int>(std::count(fake.commands.begin(), fake.commands.end(), command));
    }
    static RecordEntry record_of(std::u16string path, double duration) {
        RecordEntry entry;
        entry.path = std::move(path);
        entry.title = u"Note";
        entry.duration = duration;
        entry.valid = true;
        return entry;
    }

    std::unique_ptr<Menu> menu;
    std::unique_ptr<RenameDialog> rename;
    std::unique_ptr<ErrorDialog> error;
    std::unique_ptr<RecordingScreen> recording;
    std::unique_ptr<PlaybackScreen> playback;
};

TEST_F(RecordScreensFakeTest, RecordingShowsTheDocumentsValuesAndItsButtonsGiveCommands) {
    ASSERT_TRUE(fake.record_voice_note());
    fake.seconds_recorded = 65.0;
    fake.level_in = 0.5;
    fake.vas = 0.25;
    recording->refresh(true);
    recording->show(false);
    frame();
    EXPECT_EQ(recording->find_child(u"frmElapsed")->text(), screens::duration_text(65.0));
    EXPECT_DOUBLE_EQ(bar_value(*recording, u"pbLevel"), 0.5);
    EXPECT_DOUBLE_EQ(bar_value(*recording, u"pbVAS"), 0.25);

    // A pause shows no level and swaps the buttons.
    tap(*recording->find_child(u"btnPause"));
    EXPECT_EQ(count("pause"), 1);
    EXPECT_TRUE(fake.is_paused());
    recording->update_values();
    EXPECT_DOUBLE_EQ(bar_value(*recording, u"pbLevel"), 0.0);
    EXPECT_TRUE(visible(*recording, u"btnResume"));
    EXPECT_FALSE(visible(*recording, u"btnPause"));

    // The speaker is a command and a setting, saved at once.
    tap(*recording->find_child(u"btnSpeakerOn"));
    EXPECT_EQ(count("speakerphone_on"), 1);
    EXPECT_EQ(fake.settings().speaker, 1);
    EXPECT_EQ(fake.commands.back(), "save_settings");
    EXPECT_TRUE(visible(*recording, u"btnSpeakerOff"));
    EXPECT_FALSE(visible(*recording, u"btnSpeakerOn"));

    tap(*recording->find_child(u"btnClose"));
    EXPECT_EQ(count("stop"), 1);
    EXPECT_FALSE(fake.is_recording());
}

TEST_F(RecordScreensFakeTest, PlaybackKeysSeekFromThePositionShownAndSetTheVolume) {
    const std::u16string path = root.text() + u"/Note.wav";
    fake.add_record(record_of(path, 100.0));
    fake.volume_value = 0.5;
    ASSERT_TRUE(playback->open(path));
    frame();
    EXPECT_EQ(count("play"), 1);
    EXPECT_DOUBLE_EQ(bar_value(*playback, u"pbVolume"), 0.5);
    EXPECT_FALSE(visible(*playback, u"btnPlay"));

    fake.position = 12.5;
    press_key(key::Right);
    EXPECT_DOUBLE_EQ(fake.position, 12.5 + PlaybackScreen::seek_step_seconds);
    press_key(key::Left);
    press_key(key::Left);
    EXPECT_DOUBLE_EQ(fake.position, 12.5 - PlaybackScreen::seek_step_seconds);
    EXPECT_EQ(count("seek_time"), 3);

    press_key(key::Up);
    EXPECT_DOUBLE_EQ(fake.volume(), 0.5 + PlaybackScreen::volume_step);
    EXPECT_EQ(fake.commands.back(), "save_settings");

    // Space pauses a running playback and shows the play button.
    press_key(key::Space);
    EXPECT_TRUE(fake.is_paused());
    frame();
    EXPECT_TRUE(visible(*playback, u"btnPlay"));
    press_key(key::Space);
    EXPECT_FALSE(fake.is_paused());
}

}  // namespace

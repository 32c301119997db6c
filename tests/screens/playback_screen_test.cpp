// The playback screen on the null display with the file speaker: what it shows, play and pause,
// seeking by the slider and by the keys, the volume, renaming, the menu (delete with confirmation,
// append, send), files that cannot be played, and drags while the playback ends.
#include "screens/playback_screen.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "audio/readers/file_reader.h"
#include "document/document.h"
#include "os/file_system.h"
#include "os/path.h"
#include "os/text.h"
#include "skin/key_event.h"
#include "tests/screens/play_screens_fixture.h"

namespace {

namespace fs = std::filesystem;
using screen_test::PlayScreensFixture;

double file_duration(const std::string& path) {
    std::unique_ptr<FileReader> reader = FileReader::open(os::from_utf8(path));
    return reader ? reader->info().duration() : -1.0;
}

class PlaybackScreenTest : public PlayScreensFixture {
protected:
    void SetUp() override {
        PlayScreensFixture::SetUp();
        folder = root.path() + "/Documents/My Quillon";
        fs::create_directories(folder);
    }
    // A tone in the recordings folder, listed as the scan would list it.
    std::u16string make_tone(const std::string& name, double seconds) {
        const std::string path = folder + "/" + name;
        document_test::write_tone(path, 8000, seconds);
        document->rescan();
        return os::from_utf8(path);
    }
    // Playback in real time, so that it is still going when the test looks.
    void play_in_real_time() { env.set("QUILLON_AUDIO_PACE", "1"); }
    double position() { return document->reader() ? document->reader()->info().time() : -1.0; }
    Widget& node(std::u16string_view id) { return child(*playback, id); }

    std::string folder;
};

TEST_F(PlaybackScreenTest, ShowsTheRecordAndSeeksByTheSliderAndTheKeys) {
    play_in_real_time();
    const std::u16string path = make_tone("Record Tone.wav", 20.0);
    ASSERT_TRUE(playback->open(path));
    frame();
    EXPECT_EQ(stack.top(), playback.get());
    EXPECT_EQ(text(*playback, u"frmInfo"), u"8kHz 16bit");  // PCM: no bit rate
    EXPECT_EQ(text(*playback, u"frmSize"), u"312K");
    EXPECT_TRUE(visible(*playback, u"btnPause"));
    EXPECT_FALSE(visible(*playback, u"btnPlay"));
    EXPECT_DOUBLE_EQ(bar_value(*playback, u"pbVolume"), 1.0);

    // The slider: the reader goes to the sample frame below the fraction of its length.
    Widget& slider = node(u"btnPosition");
    press_at(slider, 0.5);
    const int64_t half = document->reader()->info().length() / 2;
    EXPECT_GE(document->reader()->info().position(), half);
    EXPECT_LT(position(), 10.0 + 4.5);  // what the player pulled at most since
    EXPECT_NEAR(bar_value(*playback, u"pbPosition"), 0.5, 0.02);
    release_at(slider, 0.5);
    frame();
    EXPECT_EQ(text(*playback, u"frmElapsed").substr(0, 6), u"0:00:1");

    // Left and Right seek by five seconds, Up and Down change the volume.
    // The steps go from the position heard, which the reader's runs ahead of.
    const double before = document->play_position();
    press_key(key::Left);
    EXPECT_NEAR(document->play_position(), before - 5.0, 0.3);
    const double then = document->play_position();
    press_key(key::Right);
    EXPECT_NEAR(document->play_position(), then + 5.0, 0.3);
    press_key(key::Down);
    EXPECT_NEAR(document->player().volume(), 0.9, 1e-9);
    EXPECT_NEAR(saved_settings().volume, 0.9, 1e-6);
    press_key(key::Up);
    press_key(key::Up);
    EXPECT_DOUBLE_EQ(document->player().volume(), 1.0);

    // Near the end: the rest plays, then the screen stays with "btnPlay" back.
    press_at(slider, 0.95);
    release_at(slider, 0.95);
    ASSERT_TRUE(run_until([&] { return !document->is_playing(); }, 15000));
    frame();
    EXPECT_TRUE(playback->is_shown());
    EXPECT_TRUE(visible(*playback, u"btnPlay"));
    EXPECT_FALSE(visible(*playback, u"btnPause"));
    EXPECT_DOUBLE_EQ(bar_value(*playback, u"pbPosition"), 0.0);
    EXPECT_EQ(text(*playback, u"frmLeft"), u"0:00:20");
    // The speaker heard far less than the whole file: the seeks skipped the rest.
    EXPECT_LT(file_duration(speaker), 12.0);

    // After the end the slider does nothing; "btnPlay" starts over from the beginning.
    press_at(slider, 0.8);
    release_at(slider, 0.8);
    EXPECT_FALSE(document->is_playing());
    EXPECT_DOUBLE_EQ(bar_value(*playback, u"pbPosition"), 0.0);
    tap(node(u"btnPlay"));
    ASSERT_TRUE(document->is_playing());
    EXPECT_LT(position(), 4.5);
    EXPECT_TRUE(visible(*playback, u"btnPause"));

    // Space pauses and resumes; Escape stops and closes.
    press_key(key::Space);
    EXPECT_TRUE(document->is_paused());
    EXPECT_TRUE(visible(*playback, u"btnPlay"));
    // A seek while paused stays paused.
    press_key(key::Right);
    EXPECT_TRUE(document->is_paused());
    press_key(key::Space);
    EXPECT_FALSE(document->is_paused());
    press_key(key::Esc);
    EXPECT_FALSE(document->is_playing());
    EXPECT_FALSE(playback->is_shown());
}

TEST_F(PlaybackScreenTest, KeysSeekExactlyFiveSecondsFromThePositionShown) {
    play_in_real_time();
    const std::u16string path = make_tone("Record Forty.wav", 40.0);
    ASSERT_TRUE(playback->open(path));
    press_key(key::Space);
    ASSERT_TRUE(document->is_paused());
    Widget& slider = node(u"btnPosition");
    press_at(slider, 0.25);
    release_at(slider, 0.25);
    frame();
    ASSERT_EQ(text(*playback, u"frmElapsed"), u"0:00:10");

    // Paused: each step is exactly five seconds from the shown time, though the player refills.
    double expected = 10.0;
    for (const char16_t* shown : {u"0:00:15", u"0:00:20", u"0:00:25", u"0:00:30"}) {
        press_key(key::Right);
        expected += 5.0;
        ASSERT_TRUE(run_until([&] { return document->player().buffered_seconds() > 0.0; }));
        frame();
        EXPECT_EQ(text(*playback, u"frmElapsed"), shown);
        EXPECT_NEAR(document->play_position(), expected, 0.001);
    }
    press_key(key::Left);
    frame();
    EXPECT_EQ(text(*playback, u"frmElapsed"), u"0:00:25");
    EXPECT_NEAR(document->play_position(), 25.0, 0.001);

    // Playing: the step is taken from what is heard, not from where the reader got to ahead of it.
    press_key(key::Space);
    ASSERT_FALSE(document->is_paused());
    ASSERT_TRUE(run_until([&] { return document->play_position() >= 25.5; }, 10000));
    const double heard = document->play_position();
    press_key(key::Left);
    EXPECT_NEAR(document->play_position(), heard - 5.0, 0.3);
    const double back = document->play_position();
    press_key(key::Right);
    EXPECT_NEAR(document->play_position(), back + 5.0, 0.3);

    // Clamped to the ends.
    for (int i = 0; i < 10; ++i) press_key(key::Left);
    EXPECT_LT(document->play_position(), 0.3);
    press_key(key::Space);
    for (int i = 0; i < 10; ++i) press_key(key::Right);
    frame();
    EXPECT_EQ(text(*playback, u"frmElapsed"), u"0:00:40");
    press_key(key::Esc);
}

TEST_F(PlaybackScreenTest, SeekingDropsWhatWasPulledAndKeepsAPause) {
    play_in_real_time();
    const std::u16string path = make_tone("Record Long.wav", 20.0);
    ASSERT_TRUE(playback->open(path));
    Widget& slider = node(u"btnPosition");

    // A seek while the player drains the end of the data plays on from the new place.
    press_at(slider, 0.99);
    release_at(slider, 0.99);
    // The player's own thread gets there within moments and stays there for the last 0.2 s.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (document->player().state() != 2 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    ASSERT_EQ(document->player().state(), 2);
    press_at(slider, 0.25);
    release_at(slider, 0.25);
    EXPECT_FALSE(run_until([&] { return !document->is_playing(); }, 500));
    EXPECT_GE(position(), 5.0);

    // Paused, a seek refills the device's buffers once and plays nothing.
    press_key(key::Space);
    ASSERT_TRUE(document->is_paused());
    press_at(slider, 0.25);
    release_at(slider, 0.25);
    EXPECT_TRUE(document->is_paused());
    const double pulled_at_most = 5.0 + 2.048 + 0.01;  // one pull of 16384 frames fills the device
    EXPECT_FALSE(run_until([&] { return position() > pulled_at_most; }, 2500)) << position();

    // Resumed, the rest plays from the new place: what the player had pulled before a seek and
    // what the device held are never heard. The speaker (opened anew by the first seek) hears the
    // half second before the pause and the last two seconds.
    press_at(slider, 0.9);
    release_at(slider, 0.9);
    press_key(key::Space);
    ASSERT_TRUE(run_until([&] { return !document->is_playing(); }, 15000));
    EXPECT_LT(file_duration(speaker), 1.0 + 2.0 + 0.8);
}

TEST_F(PlaybackScreenTest, VolumeFollowsTheDragAndIsSavedOnRelease) {
    play_in_real_time();
    ASSERT_TRUE(playback->open(make_tone("Record Volume.wav", 20.0)));
    Widget& thumb = node(u"btnVolume");
    press_at(thumb, 0.9);
    move_to(thumb, 0.3);
    EXPECT_NEAR(document->player().volume(), 0.3, 0.01);
    EXPECT_NEAR(bar_value(*playback, u"pbVolume"), 0.3, 0.01);
    EXPECT_DOUBLE_EQ(saved_settings().volume, 1.0);
    move_to(thumb, -0.5);
    EXPECT_DOUBLE_EQ(document->player().volume(), 0.0);
    move_to(thumb, 0.25);
    release_at(thumb, 0.25);
    EXPECT_NEAR(saved_settings().volume, 0.25, 0.01);
}

TEST_F(PlaybackScreenTest, RecordsOfNoLengthAndFilesThatCannotPlay) {
    // Duration 0: the bar stays at 0 and the screen does not hang.
    const std::u16string empty = make_tone("Record Empty.wav", 0.0);
    ASSERT_TRUE(playback->open(empty));
    ASSERT_TRUE(run_until([&] { return !document->is_playing(); }));
    frame();
    EXPECT_DOUBLE_EQ(bar_value(*playback, u"pbPosition"), 0.0);
    EXPECT_EQ(text(*playback, u"frmLeft"), u"0:00:00");
    EXPECT_TRUE(visible(*playback, u"btnPlay"));
    press_key(key::Right);  // nothing to seek in
    press_key(key::Esc);
    EXPECT_FALSE(playback->is_shown());

    // Damaged or unknown: the error shows, the playback screen does not.
    write_bytes(folder + "/Record Noise.mp3", std::string(3000, 'x'));
    write_bytes(folder + "/Record Cut.wav", std::string("RIFF\x10\x00\x00\x00WAVEfmt ", 16));
    write_bytes(folder + "/Record Nothing.mp3", "");
    write_bytes(folder + "/Record Nothing.wav", "");
    for (const char* name :
         {"Record Noise.mp3", "Record Cut.wav", "Record Gone.mp3", "Record Nothing.mp3", "Record Nothing.wav"}) {
        EXPECT_FALSE(playback->open(os::from_utf8(folder + "/" + name))) << name;
        EXPECT_FALSE(playback->is_shown());
        ASSERT_TRUE(error->is_shown());
        EXPECT_EQ(error->message(), u"Sorry, this recording cannot be played. It may have been moved or deleted.");
        error->close();
    }
    EXPECT_EQ(stack.top(), main.get());
}

TEST_F(PlaybackScreenTest, NoSoundOutputShowsTheErrorInsteadOfASilentScreen) {
    const std::u16string path = make_tone("Record Unheard.wav", 5.0);
    // The speaker cannot be opened: the device fails on the player's thread after the start.
    env.set("QUILLON_AUDIO_OUT", root.path() + "/no such folder/speaker.wav");
    ASSERT_TRUE(playback->open(path));
    ASSERT_TRUE(run_until([&] { return error->is_shown(); }));
    EXPECT_EQ(error->message(),
              u"Sorry, no sound output could be opened. Check that a speaker or headphones are connected.");
    EXPECT_FALSE(document->is_playing());
    frame();
    EXPECT_TRUE(visible(*playback, u"btnPlay"));
    error->close();
    env.set("QUILLON_AUDIO_OUT", speaker);
    tap(node(u"btnPlay"));
    EXPECT_TRUE(document->is_playing());
    run_for(300);
    EXPECT_FALSE(error->is_shown());
    press_key(key::Esc);
}

TEST_F(PlaybackScreenTest, MenuDeletesOnlyAfterTheConfirmation) {
    play_in_real_time();
    const std::u16string path = make_tone("Record Delete me.wav", 20.0);
    ASSERT_TRUE(playback->open(path));
    tap(node(u"btnMenu"));
    ASSERT_TRUE(menu->is_shown());
    ASSERT_EQ(menu->items().size(), 4u);
    EXPECT_EQ(menu->items()[0].command, u"Delete");
    EXPECT_EQ(menu->items()[1].command, u"Append");
    EXPECT_EQ(menu->items()[2].command, u"Send");
    EXPECT_EQ(menu->items()[3].command, u"Cancel");

    menu->choose(0);
    EXPECT_FALSE(document->is_playing());  // stopped before asking
    ASSERT_TRUE(menu->is_shown());
    ASSERT_EQ(menu->items().size(), 2u);
    EXPECT_EQ(menu->items()[0].command, u"Confirm");
    EXPECT_EQ(menu->items()[0].node, u"MenuElementRed");
    EXPECT_EQ(menu->caption(), u"Delete");
    menu->choose(1);  // Cancel
    EXPECT_FALSE(menu->is_shown());
    EXPECT_TRUE(os::exists(path));
    EXPECT_TRUE(playback->is_shown());
    // Asking stopped the playback: the screen shows Play, not a Pause that does nothing.
    frame();
    EXPECT_FALSE(document->is_playing());
    EXPECT_TRUE(visible(*playback, u"btnPlay"));
    EXPECT_FALSE(visible(*playback, u"btnPause"));

    tap(node(u"btnMenu"));
    menu->choose(0);
    menu->choose(0);  // Confirm
    EXPECT_FALSE(menu->is_shown());
    EXPECT_FALSE(os::exists(path));
    EXPECT_LT(document->records().find(path), 0);
    EXPECT_FALSE(playback->is_shown());
    EXPECT_EQ(stack.top(), main.get());
}

TEST_F(PlaybackScreenTest, SendHandsTheFileToTheHookAndSaysWhenItFailed) {
    play_in_real_time();
    const std::u16string path = make_tone("Record Send me.wav", 20.0);
    std::vector<std::u16string> sent;
    bool works = true;
    std::shared_ptr<os::ChildExit> composer;
    playback->set_send_hook([&](const std::u16string& file) -> std::shared_ptr<const os::ChildExit> {
        sent.push_back(file);
        composer = works ? std::make_shared<os::ChildExit>() : nullptr;
        return composer;
    });
    ASSERT_TRUE(playback->open(path));
    tap(node(u"btnMenu"));
    menu->choose(2);
    EXPECT_EQ(sent, std::vector<std::u16string>{path});
    EXPECT_FALSE(menu->is_shown());
    EXPECT_FALSE(error->is_shown());
    EXPECT_TRUE(document->is_playing());  // sending neither stops nor pauses
    // The composer ends well: nothing to say.
    composer->exit_code = 0;
    composer->ended = true;
    run_for(static_cast<uint32_t>(4000 * ChildWatch::poll_seconds));
    EXPECT_FALSE(error->is_shown());

    // Started, but no mail program answers: xdg-email ends with a failure a moment later, and the
    // screen says so then, without having waited for it.
    tap(node(u"btnMenu"));
    menu->choose(2);
    EXPECT_EQ(sent.size(), 2u);
    EXPECT_FALSE(error->is_shown());
    composer->exit_code = 3;
    composer->ended = true;
    ASSERT_TRUE(run_until([&] { return error->is_shown(); }));
    EXPECT_EQ(error->message(), u"Sorry, no mail program could take the recording.");
    error->close();

    works = false;
    tap(node(u"btnMenu"));
    menu->choose(2);
    EXPECT_EQ(sent.size(), 3u);
    EXPECT_FALSE(menu->is_shown());
    ASSERT_TRUE(error->is_shown());
    EXPECT_EQ(error->message(), u"Sorry, no mail program could take the recording.");
    EXPECT_TRUE(playback->is_shown());
    EXPECT_TRUE(document->is_playing());
}

TEST_F(PlaybackScreenTest, RenameAndAppendContinueTheRecordOnTheRecordingScreen) {
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    ASSERT_TRUE(run_until([&] { return document->duration().total() >= 1.0; }));
    recording->stop_and_close();
    const std::u16string path = document->current_record().path;

    play_in_real_time();
    ASSERT_TRUE(playback->open(path));
    EXPECT_EQ(text(*playback, u"frmArtist"), u"Record");
    EXPECT_EQ(text(*playback, u"btnName"), document->current_record().title);
    EXPECT_EQ(text(*playback, u"frmInfo"), u"44kHz 16bit 64kbps");
    tap(node(u"btnName"));
    EXPECT_EQ(rename->edited_text(), document->current_record().title);
    rename->set_edited_text(u"Groceries");
    rename->confirm();
    EXPECT_EQ(text(*playback, u"btnName"), u"Groceries");
    EXPECT_EQ(document->current_record().path, path);  // renamed when the screen closes

    // Append gives the new title first, then the recording screen takes over.
    env.set("QUILLON_AUDIO_PACE", "0");
    tap(node(u"btnMenu"));
    menu->choose(1);
    ASSERT_TRUE(document->is_recording());
    EXPECT_FALSE(playback->is_shown());
    EXPECT_FALSE(menu->is_shown());
    EXPECT_TRUE(recording->is_shown());
    EXPECT_EQ(text(*recording, u"btnName"), u"Groceries");
    const std::u16string renamed = document->current_record().path;
    EXPECT_EQ(os::file_name_of(renamed), u"Record Groceries.mp3");
    const double before = FileReader::open(renamed)->info().duration();
    ASSERT_TRUE(run_until([&] { return document->duration().total() >= 1.0; }));
    recording->stop_and_close();
    EXPECT_GT(FileReader::open(renamed)->info().duration(), before + 0.8);

    // Closing with a new title renames the file.
    ASSERT_TRUE(playback->open(renamed));
    tap(node(u"btnName"));
    rename->set_edited_text(u"Groceries for Sunday");
    rename->confirm();
    tap(node(u"btnClose"));
    EXPECT_FALSE(playback->is_shown());
    EXPECT_EQ(os::file_name_of(document->current_record().path), u"Record Groceries for Sunday.mp3");
    EXPECT_FALSE(os::exists(renamed));
}

TEST_F(PlaybackScreenTest, DraggingWhilePlaybackEndsIsHarmless) {
    // Playback as fast as the file speaker takes it: it ends under the held thumbs.
    const std::u16string path = make_tone("Record Short.wav", 2.0);
    ASSERT_TRUE(playback->open(path));
    Widget& position_thumb = node(u"btnPosition");
    Widget& volume_thumb = node(u"btnVolume");
    press_at(position_thumb, 0.2);
    ASSERT_TRUE(run_until([&] { return !document->is_playing(); }));
    move_to(position_thumb, 0.6);
    release_at(position_thumb, 0.6);
    EXPECT_FALSE(document->is_playing());
    EXPECT_DOUBLE_EQ(bar_value(*playback, u"pbPosition"), 0.0);

    ASSERT_TRUE(playback->open(path));
    press_at(volume_thumb, 0.5);
    ASSERT_TRUE(run_until([&] { return !document->is_playing(); }));
    move_to(volume_thumb, 0.7);
    release_at(volume_thumb, 0.7);
    EXPECT_NEAR(saved_settings().volume, 0.7, 0.01);

    // A recording that starts (a call) takes the screen over mid-drag.
    ASSERT_TRUE(playback->open(path));
    press_at(position_thumb, 0.1);
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    EXPECT_FALSE(playback->is_shown());
    move_to(position_thumb, 0.9);
    release_at(position_thumb, 0.9);
    EXPECT_TRUE(document->is_recording());
    EXPECT_EQ(stack.top(), recording.get());
}

}  // namespace

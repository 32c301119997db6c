// The recording screen on the null display with the file microphone: what it shows while a voice
// note runs, pause and resume, boost, the speakerphone in and out of a call, the voice-activation
// slider, renaming and stopping, and a recording whose storage fills or vanishes.
#include "screens/recording_screen.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "audio/readers/file_reader.h"
#include "document/document.h"
#include "os/file_system.h"
#include "os/path.h"
#include "os/registry.h"
#include "skin/key_event.h"
#include "tests/screens/play_screens_fixture.h"

namespace {

namespace fs = std::filesystem;
using screen_test::PlayScreensFixture;

const std::u16string phone_key = u"HKEY_LOCAL_MACHINE\\System\\State\\Phone";
const std::u16string hardware_key = u"HKEY_LOCAL_MACHINE\\System\\State\\Hardware";

double file_duration(const std::u16string& path) {
    std::unique_ptr<FileReader> reader = FileReader::open(path);
    return reader ? reader->info().duration() : -1.0;
}

bool is_listed(const Document& document, const std::u16string& path) { return document.records().find(path) >= 0; }

class RecordingScreenTest : public PlayScreensFixture {
protected:
    void start_voice_note() {
        ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
        ASSERT_TRUE(recording->is_shown());
        frame();
    }
    void record_for(double seconds) {
        ASSERT_TRUE(run_until([&] { return document->duration().total() >= seconds; }));
    }
    Widget& node(std::u16string_view id) { return child(*recording, id); }
};

TEST_F(RecordingScreenTest, ShowsTheRunningNotePausesRenamesAndStops) {
    start_voice_note();
    const std::u16string path = document->current_record().path;
    EXPECT_EQ(stack.top(), recording.get());
    EXPECT_EQ(text(*recording, u"frmArtist"), u"Record");
    EXPECT_EQ(text(*recording, u"frmInfo"), u"44kHz 16bit 64kbps");
    EXPECT_EQ(text(*recording, u"btnName"), document->current_record().title);
    EXPECT_EQ(text(*recording, u"btnBoost"), u"Boost");
    EXPECT_FALSE(visible(*recording, u"speaker"));
    EXPECT_TRUE(visible(*recording, u"btnPause"));
    EXPECT_FALSE(visible(*recording, u"btnResume"));

    // The running values follow the recording on their own, without input.
    ASSERT_TRUE(run_until([&] {
        const std::u16string elapsed = text(*recording, u"frmElapsed");
        return elapsed != u"0:00:00" && elapsed != u"0:00:01";
    }));
    EXPECT_GT(bar_value(*recording, u"pbLevel"), 0.1);  // the tone is about a quarter of full scale
    const std::u16string size = text(*recording, u"frmSize");
    EXPECT_TRUE(size.ends_with(u"K")) << os::to_utf8(size);
    EXPECT_FALSE(text(*recording, u"frmLeft").empty());
    EXPECT_NE(text(*recording, u"frmLeft"), u"0:00:00");

    // Pause: the buttons swap and the duration stands still; Space resumes.
    tap(node(u"btnPause"));
    EXPECT_TRUE(document->is_paused());
    EXPECT_FALSE(visible(*recording, u"btnPause"));
    EXPECT_TRUE(visible(*recording, u"btnResume"));
    const double paused_at = document->duration().total();
    const size_t ticks = log.events.size();
    document->handle_command_line(u"record");  // a second start toggles: resumes
    document->handle_command_line(u"record");  // and pauses again
    EXPECT_EQ(log.events.size(), ticks + 2);
    run_for(600);
    EXPECT_DOUBLE_EQ(document->duration().total(), paused_at);
    press_key(key::Space);
    EXPECT_FALSE(document->is_paused());
    EXPECT_TRUE(visible(*recording, u"btnPause"));
    record_for(paused_at + 0.5);

    // The rename takes effect when the screen closes with the recording.
    tap(node(u"btnName"));
    ASSERT_TRUE(rename->is_shown());
    EXPECT_EQ(rename->edited_text(), document->current_record().title);
    rename->set_edited_text(u"Shopping list");
    rename->confirm();
    EXPECT_EQ(text(*recording, u"btnName"), u"Shopping list");
    EXPECT_EQ(document->current_record().path, path);
    EXPECT_TRUE(document->is_recording());

    tap(node(u"btnClose"));
    EXPECT_FALSE(document->is_recording());
    EXPECT_FALSE(recording->is_shown());
    EXPECT_EQ(stack.top(), main.get());
    const std::u16string renamed = document->current_record().path;
    EXPECT_EQ(os::file_name_of(renamed), u"Record Shopping list.mp3");
    EXPECT_TRUE(is_listed(*document, renamed));
    EXPECT_FALSE(os::exists(path));
    EXPECT_GT(file_duration(renamed), 2.0);

    // Escape (and the window's Escape, which arrives as Backspace) stops as btnClose does.
    for (int32_t code : {key::Esc, key::Backspace}) {
        start_voice_note();
        record_for(0.3);
        press_key(code);
        EXPECT_FALSE(document->is_recording());
        EXPECT_FALSE(recording->is_shown());
    }
}

TEST_F(RecordingScreenTest, BoostMenuChecksStoresAndShowsTheBoost) {
    start_voice_note();
    EXPECT_FALSE(visible(*recording, u"BoostOn"));
    tap(node(u"btnBoost"));
    ASSERT_TRUE(menu->is_shown());
    ASSERT_EQ(menu->items().size(), 5u);
    EXPECT_EQ(menu->items()[0].command, u"BoostOff");
    EXPECT_EQ(menu->items()[3].command, u"Boost3");
    EXPECT_EQ(menu->items()[4].command, u"Cancel");
    for (const MenuItem& item : menu->items()) EXPECT_FALSE(item.checked);

    menu->choose(2);
    EXPECT_FALSE(menu->is_shown());
    EXPECT_EQ(document->settings().boost, u"Boost2");
    EXPECT_EQ(saved_settings().boost, u"Boost2");
    EXPECT_TRUE(visible(*recording, u"BoostOn"));

    tap(node(u"btnBoost"));
    EXPECT_TRUE(menu->items()[2].checked);
    EXPECT_FALSE(menu->items()[1].checked);
    menu->choose(4);  // Cancel changes nothing
    EXPECT_FALSE(menu->is_shown());
    EXPECT_EQ(saved_settings().boost, u"Boost2");

    // "BoostOff" never carries the check mark, even when it is the setting.
    tap(node(u"btnBoost"));
    menu->choose(0);
    EXPECT_EQ(saved_settings().boost, u"BoostOff");
    EXPECT_FALSE(visible(*recording, u"BoostOn"));
    tap(node(u"btnBoost"));
    for (const MenuItem& item : menu->items()) EXPECT_FALSE(item.checked);
    menu->choose(4);
}

TEST_F(RecordingScreenTest, VoiceActivationSliderSetsTheThresholdAndSavesOnRelease) {
    start_voice_note();
    Widget& thumb = node(u"btnVAS");
    ASSERT_GT(thumb.size().width, 0);
    press_at(thumb, 0.0);
    move_to(thumb, 0.25);
    EXPECT_NEAR(bar_value(*recording, u"pbVAS"), 0.25, 0.01);
    EXPECT_NEAR(document->level().vas_level(), 0.25, 0.01);
    EXPECT_DOUBLE_EQ(saved_settings().vas_level, 0.0);  // not while dragging
    move_to(thumb, 1.7);                                // past the end
    EXPECT_DOUBLE_EQ(document->level().vas_level(), 1.0);
    move_to(thumb, 0.5);
    release_at(thumb, 0.5);
    EXPECT_NEAR(saved_settings().vas_level, 0.5, 0.01);

    // The threshold shows on the next recording's screen, and stays through a skin reload (a
    // language change), as do the title and the paused state.
    document->stop();
    start_voice_note();
    EXPECT_NEAR(bar_value(*recording, u"pbVAS"), 0.5, 0.01);
    tap(node(u"btnPause"));
    const std::u16string title = text(*recording, u"btnName");
    skin.send_reload_skin();
    frame();
    EXPECT_NEAR(bar_value(*recording, u"pbVAS"), 0.5, 0.01);
    EXPECT_EQ(text(*recording, u"btnName"), title);
    EXPECT_TRUE(visible(*recording, u"btnResume"));
    EXPECT_FALSE(visible(*recording, u"btnPause"));
    tap(node(u"btnResume"));
    EXPECT_FALSE(document->is_paused());
}

TEST_F(RecordingScreenTest, SpeakerButtonsSwitchAtOnceInAndOutOfACall) {
    // Out of a call.
    start_voice_note();
    EXPECT_TRUE(visible(*recording, u"btnSpeakerOn"));
    EXPECT_FALSE(visible(*recording, u"btnSpeakerOff"));
    tap(node(u"btnSpeakerOn"));
    EXPECT_EQ(document->settings().speaker, 1);
    EXPECT_EQ(saved_settings().speaker, 1);
    uint32_t hardware = 0;
    ASSERT_TRUE(os::reg_read_dword(hardware_key, u"Speaker", hardware));
    EXPECT_EQ(hardware, 1u);
    ASSERT_TRUE(run_until([&] { return visible(*recording, u"btnSpeakerOff"); }));
    EXPECT_FALSE(visible(*recording, u"btnSpeakerOn"));
    EXPECT_FALSE(visible(*recording, u"speaker"));
    tap(node(u"btnSpeakerOff"));
    EXPECT_EQ(saved_settings().speaker, 0);
    ASSERT_TRUE(run_until([&] { return visible(*recording, u"btnSpeakerOn"); }));
    document->stop();

    // In a call: the call's picture shows, and the switch works the same.
    ASSERT_TRUE(os::reg_write_dword(phone_key, u"Active Call Count", 1));
    ASSERT_TRUE(os::reg_write_dword(phone_key, u"Status", 0x20000000));
    ASSERT_TRUE(run_until([&] { return document->is_talking(); }));
    document->handle_command_line(u"call");
    ASSERT_TRUE(document->is_recording_call());
    ASSERT_TRUE(recording->is_shown());
    EXPECT_TRUE(visible(*recording, u"speaker"));
    tap(child(*recording, u"btnSpeakerOn"));
    ASSERT_TRUE(os::reg_read_dword(hardware_key, u"Speaker", hardware));
    EXPECT_EQ(hardware, 1u);
    EXPECT_EQ(saved_settings().speaker, 1);
    ASSERT_TRUE(run_until([&] { return visible(*recording, u"btnSpeakerOff"); }));

    // The call ends: its picture goes, and the speaker option stays for the next call.
    ASSERT_TRUE(os::reg_write_dword(phone_key, u"Active Call Count", 0));
    ASSERT_TRUE(os::reg_write_dword(phone_key, u"Status", 0));
    ASSERT_TRUE(run_until([&] { return !document->is_talking(); }));
    EXPECT_FALSE(visible(*recording, u"speaker"));
    EXPECT_EQ(saved_settings().speaker, 1);
}

TEST_F(RecordingScreenTest, FullStorageClosesTheScreenAndKeepsWhatWasCaptured) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old_limit{};
    getrlimit(RLIMIT_FSIZE, &old_limit);
    rlimit limit = old_limit;
    limit.rlim_cur = 60000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    start_voice_note();
    const std::u16string path = document->current_record().path;
    const bool ended = run_until([&] { return log.count(DocumentEvent::WriterFailed) == 1; }, 60000);
    setrlimit(RLIMIT_FSIZE, &old_limit);
    ASSERT_TRUE(ended);
    EXPECT_FALSE(recording->is_shown());
    EXPECT_EQ(stack.top(), main.get());

    // What was captured is listed and plays.
    EXPECT_TRUE(is_listed(*document, path));
    ASSERT_TRUE(playback->open(path));
    EXPECT_TRUE(playback->is_shown());
    EXPECT_GT(document->current_record().duration, 3.0);
    EXPECT_FALSE(error->is_shown());
}

TEST_F(RecordingScreenTest, VanishedCardClosesTheScreen) {
    fs::create_directories(root.path() + "/cards/SD");
    start_voice_note();
    EXPECT_TRUE(os::is_under(document->current_record().path, root.text() + u"/cards/SD"));
    record_for(0.3);
    fs::remove_all(root.path() + "/cards/SD");
    ASSERT_TRUE(run_until([&] { return log.count(DocumentEvent::CardProblem) == 1; }));
    EXPECT_FALSE(recording->is_shown());
    EXPECT_EQ(document->records().size(), 0u);
    // Closing what is already closed changes nothing.
    recording->stop_and_close();
    EXPECT_EQ(stack.top(), main.get());
}

TEST_F(RecordingScreenTest, DraggingWhileTheRecordingEndsIsHarmless) {
    start_voice_note();
    Widget& thumb = node(u"btnVAS");
    press_at(thumb, 0.1);
    move_to(thumb, 0.2);
    document->stop();  // a call ends, the quick-record key stops it...
    EXPECT_FALSE(recording->is_shown());
    move_to(thumb, 0.3);
    release_at(thumb, 0.3);
    EXPECT_EQ(stack.top(), main.get());
    // The boost menu goes with the screen.
    start_voice_note();
    tap(node(u"btnBoost"));
    ASSERT_TRUE(menu->is_shown());
    document->stop();
    EXPECT_FALSE(menu->is_shown());
    EXPECT_EQ(stack.top(), main.get());
    // The rename dialog open when the recording ends renames at once.
    start_voice_note();
    record_for(0.3);
    tap(node(u"btnName"));
    document->stop();
    rename->set_edited_text(u"After the call");
    rename->confirm();
    EXPECT_EQ(os::file_name_of(document->current_record().path), u"Record After the call.mp3");
}

}  // namespace

// The waveforms and the state line of the recording and playback screens, and the playback speed
// and skipping buttons, driven through the screen stack as the window drives them.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "audio/readers/file_reader.h"
#include "document/document.h"
#include "os/text.h"
#include "skin/waveform_widget.h"
#include "tests/screens/play_screens_fixture.h"

namespace {

namespace fs = std::filesystem;
using screen_test::PlayScreensFixture;

class WaveformScreensTest : public PlayScreensFixture {
protected:
    WaveformWidget& wave(Widget& screen) {
        auto* found = dynamic_cast<WaveformWidget*>(screen.find_child(u"wave"));
        if (!found) throw std::runtime_error("no waveform");
        return *found;
    }
};

TEST_F(WaveformScreensTest, RecordingShowsItsStateAndTheLiveSoundWithTheThreshold) {
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    ASSERT_TRUE(recording->is_shown());
    ASSERT_TRUE(run_until([&] {
        frame();
        return wave(*recording).peaks().size() >= 3;
    }));
    EXPECT_TRUE(wave(*recording).scrolls());
    EXPECT_EQ(text(*recording, u"frmState"), u"Recording");
    EXPECT_FALSE(visible(*recording, u"stateDotIdle"));
    // The microphone's tone has an amplitude of 8000: 31 of 127.
    EXPECT_NEAR(wave(*recording).peaks().back().high, 31, 2);

    tap(child(*recording, u"btnPause"));
    frame();
    EXPECT_EQ(text(*recording, u"frmState"), u"Paused");
    EXPECT_TRUE(visible(*recording, u"stateDotIdle"));
    EXPECT_FALSE(visible(*recording, u"stateDot"));
    // Nothing is recorded while paused, so nothing scrolls by.
    const size_t paused_at = wave(*recording).peaks().size();
    run_for(600);
    frame();
    EXPECT_EQ(wave(*recording).peaks().size(), paused_at);
    tap(child(*recording, u"btnResume"));

    // A threshold above the tone: voice activation holds the file back.
    Widget& thumb = child(*recording, u"btnVAS");
    press_at(thumb, 0.0);
    move_to(thumb, 0.5);
    release_at(thumb, 0.5);
    EXPECT_NEAR(wave(*recording).threshold(), 0.5, 0.01);
    EXPECT_TRUE(visible(*recording, u"pbVASMark"));
    ASSERT_TRUE(run_until([&] {
        frame();
        return text(*recording, u"frmState") == u"Waiting for speech";
    }));
    EXPECT_TRUE(document->is_waiting_for_speech());
    EXPECT_TRUE(visible(*recording, u"stateDotIdle"));
    // While recording, the red dot comes and goes once a second.
    press_at(thumb, 0.5);
    move_to(thumb, 0.0);
    release_at(thumb, 0.0);
    EXPECT_FALSE(visible(*recording, u"pbVASMark"));
    bool lit = false, dark = false;
    ASSERT_TRUE(run_until([&] {
        frame();
        if (text(*recording, u"frmState") == u"Recording") {
            (visible(*recording, u"stateDot") ? lit : dark) = true;
        }
        return lit && dark;
    }));
}

TEST_F(WaveformScreensTest, TappingThePlaybackWaveformSeeksWithinOneColumn) {
    env.set("QUILLON_AUDIO_PACE", "1");
    const std::string folder = root.path() + "/Documents/My Quillon";
    fs::create_directories(folder);
    const std::string file = folder + "/Record Long tone.wav";
    document_test::write_tone(file, 8000, 120.0);
    ASSERT_TRUE(playback->open(os::from_utf8(file)));
    frame();
    WaveformWidget& shown = wave(*playback);
    // The peaks arrive while the screen runs, and all are drawn once complete.
    ASSERT_TRUE(run_until([&] {
        frame();
        return document->peaks().is_complete() && shown.peaks().size() == 600;
    }));
    ASSERT_GT(shown.column_count(), 10);
    const double column_seconds = 120.0 / shown.column_count();
    Widget& touch = child(*playback, u"btnWave");
    for (double fraction : {0.25, 0.8}) {
        press_at(touch, fraction);
        release_at(touch, fraction);
        const double asked = (x_at(touch, fraction) - touch.position().x) * 120.0 / touch.size().width;
        // The reader is where the tap points, or just past it by what the player pulled since.
        const double at = document->reader()->info().time();
        EXPECT_GE(at, asked - column_seconds) << fraction;
        EXPECT_LE(at, asked + column_seconds + 16384.0 / 8000) << fraction;
        EXPECT_NEAR(shown.position_fraction(), at / 120.0, 0.02);
    }
}

TEST_F(WaveformScreensTest, SpeedAndSkippingButtonsStepShowAndRemember) {
    const std::string folder = root.path() + "/Documents/My Quillon";
    fs::create_directories(folder);
    const std::string file = folder + "/Record Tone.wav";
    document_test::write_tone(file, 8000, 5.0);
    ASSERT_TRUE(playback->open(os::from_utf8(file)));
    frame();
    EXPECT_EQ(text(*playback, u"btnSpeed"), u"1\u00D7");
    for (const char16_t* expected :
         {u"1.25\u00D7", u"1.5\u00D7", u"2\u00D7", u"0.75\u00D7", u"1\u00D7", u"1.25\u00D7"}) {
        tap(child(*playback, u"btnSpeed"));
        EXPECT_EQ(text(*playback, u"btnSpeed"), expected);
    }
    EXPECT_EQ(saved_settings().playback_speed, 125);
    EXPECT_FALSE(visible(*playback, u"SkipOn"));
    tap(child(*playback, u"btnSkipSilence"));
    EXPECT_TRUE(visible(*playback, u"SkipOn"));
    EXPECT_EQ(saved_settings().skip_silence, 1);
    tap(child(*playback, u"btnSkipSilence"));
    EXPECT_FALSE(visible(*playback, u"SkipOn"));
    EXPECT_EQ(saved_settings().skip_silence, 0);
}

}  // namespace

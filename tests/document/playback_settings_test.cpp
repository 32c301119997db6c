// Playback speed and skipping silence are settings: remembered in the registry, applied to the
// playback under way, and a whole playback at twice the speed still ends on its own.
#include "audio/readers/file_reader.h"
#include "document/document.h"
#include "os/text.h"
#include "tests/document/document_test_support.h"

namespace {

using document_test::DocumentFixture;
using PlaybackSettingsTest = DocumentFixture;

TEST_F(PlaybackSettingsTest, SpeedAndSkippingAreRememberedAndTheNearestSpeedIsTaken) {
    document->load_secondary_things();
    EXPECT_EQ(document->settings().playback_speed, 100);
    EXPECT_EQ(document->settings().skip_silence, 0);
    document->set_playback_speed(130);
    EXPECT_EQ(document->settings().playback_speed, 125);
    document->set_playback_speed(1000);
    EXPECT_EQ(document->settings().playback_speed, 200);
    document->set_skip_silence(true);
    ASSERT_TRUE(document->save_settings());

    Settings read;
    read.load_first();
    read.load_secondary();
    EXPECT_EQ(read.playback_speed, 200);
    EXPECT_EQ(read.skip_silence, 1);
    EXPECT_TRUE(read.read_error.empty());
}

TEST_F(PlaybackSettingsTest, APlaybackAtTwiceTheSpeedEndsByItselfAndSeeksStayExact) {
    document->load_secondary_things();
    const std::string file = root.path() + "/tone.wav";
    document_test::write_tone(file, 8000, 6.0);
    document->set_playback_speed(200);
    ASSERT_TRUE(document->play(os::from_utf8(file)));
    // A seek lands where it was asked whatever the speed: the reader (whose time the screen shows)
    // is at the half, or just past it by what the player pulled since. Paused, the player pulls no
    // more, so a loaded machine cannot carry it further before the reader is asked.
    document->set_paused(true);
    ASSERT_TRUE(document->seek(0.5));
    EXPECT_GE(document->reader()->info().time(), 3.0 - 1e-9);
    EXPECT_LE(document->reader()->info().time(), 3.0 + 16384.0 / 8000 + 0.01);
    document->set_paused(false);
    ASSERT_TRUE(run_until([&] { return !document->is_playing(); }, 30000));
    EXPECT_EQ(log.codes().back(), DocumentEvent::Stopped);
}

}  // namespace

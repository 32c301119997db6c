// The media controls as the desktop reaches them: the MPRIS service on a private session bus,
// driven with playerctl and gdbus as a lock screen or headset would, over a document that plays a
// tone file and records from a file microphone.
#include "app/media_session.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "audio/readers/file_reader.h"
#include "os/media/mpris_service.h"
#include "os/text.h"
#include "tests/app/process_helpers.h"
#include "tests/dbus/bus_environment.h"
#include "tests/document/document_test_support.h"
#include "tests/support/temp_folder.h"

namespace {

using document_test::DocumentFixture;
using namespace bus_test;

const test_support::TempFolder g_bus_scratch("quillon-bus");
const std::string g_bus_folder = g_bus_scratch.path();
::testing::Environment* const g_bus = ::testing::AddGlobalTestEnvironment(new BusEnvironment(g_bus_folder));

constexpr const char* player = "org.mpris.MediaPlayer2.QuillonTouch";
constexpr const char* path = "/org/mpris/MediaPlayer2";

// The Seeked signals the player sends, heard on a connection of the test's own.
class SeekedSignals {
public:
    SeekedSignals() {
        m_bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        if (!m_bus) return;
        m_subscription = g_dbus_connection_signal_subscribe(
            m_bus, player, "org.mpris.MediaPlayer2.Player", "Seeked", path, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
            [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
               gpointer data) {
                gint64 position = 0;
                g_variant_get(parameters, "(x)", &position);
                static_cast<SeekedSignals*>(data)->positions.push_back(static_cast<double>(position) / 1e6);
            },
            this, nullptr);
    }
    ~SeekedSignals() {
        if (!m_bus) return;
        g_dbus_connection_signal_unsubscribe(m_bus, m_subscription);
        g_object_unref(m_bus);
    }
    // Takes the signals that arrived so far.
    const std::vector<double>& heard() {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
        return positions;
    }
    std::vector<double> positions;

private:
    GDBusConnection* m_bus = nullptr;
    guint m_subscription = 0;
};

class MediaSessionTest : public DocumentFixture {
protected:
    void SetUp() override {
        DocumentFixture::SetUp();
        // The speaker takes audio in real time, so positions move as a listener hears them.
        env.set("QUILLON_AUDIO_PACE", "1");
        auto owned = std::make_unique<os::MprisService>(u"Quillon Touch", u"com.korvel.QuillonTouch", u"QuillonTouch");
        service = owned.get();
        session = std::make_unique<MediaSession>(
            *document, loop, [this] { ++raised; }, std::move(owned));
        ASSERT_TRUE(service->wait_published(10));
        ASSERT_TRUE(has_owner(player));
    }
    void TearDown() override {
        session.reset();
        DocumentFixture::TearDown();
    }

    // playerctl's answer while the loop stands still: the service answers from its own thread.
    static std::string playerctl(const std::vector<std::string>& words) {
        std::vector<std::string> all = {"playerctl", "--player=QuillonTouch"};
        all.insert(all.end(), words.begin(), words.end());
        std::string out = run(all).output;
        while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
        return out;
    }
    // A command that the loop carries out: posted from the service's thread.
    void command(const std::vector<std::string>& words) { EXPECT_EQ(run_playerctl_status(words), 0); }
    static int run_playerctl_status(const std::vector<std::string>& words) {
        std::vector<std::string> all = {"playerctl", "--player=QuillonTouch"};
        all.insert(all.end(), words.begin(), words.end());
        return run(all).status;
    }
    double position() { return std::stod(playerctl({"position"})); }

    os::MprisService* service = nullptr;
    std::unique_ptr<MediaSession> session;
    int raised = 0;
};

TEST_F(MediaSessionTest, PlaybackShowsItsRecordingAndFollowsPlayPauseSeekAndStop) {
    EXPECT_EQ(playerctl({"status"}), "Stopped");
    std::string reply;
    ASSERT_TRUE(
        call_method(player, path, "org.freedesktop.DBus.Properties", "GetAll", "('org.mpris.MediaPlayer2',)", &reply));
    EXPECT_NE(reply.find("'Identity': <'Quillon Touch'>"), std::string::npos) << reply;
    EXPECT_NE(reply.find("'DesktopEntry': <'com.korvel.QuillonTouch'>"), std::string::npos) << reply;

    const std::string file = root.path() + "/Interview.wav";
    document_test::write_tone(file, 16000, 60.0);
    ASSERT_TRUE(document->play(os::from_utf8(file)));
    ASSERT_TRUE(run_until([&] { return playerctl({"status"}) == "Playing"; }));
    EXPECT_EQ(playerctl({"metadata", "xesam:title"}), os::to_utf8(document->current_record().title));
    EXPECT_EQ(playerctl({"metadata", "mpris:length"}), "60000000");
    EXPECT_EQ(playerctl({"metadata", "xesam:url"}), "file://" + file);
    ASSERT_TRUE(call_method(player, path, "org.freedesktop.DBus.Properties", "GetAll",
                            "('org.mpris.MediaPlayer2.Player',)", &reply));
    EXPECT_NE(reply.find("'CanGoNext': <false>"), std::string::npos) << reply;
    EXPECT_NE(reply.find("'CanSeek': <true>"), std::string::npos) << reply;

    // Play-pause pauses the playback, and again resumes it.
    command({"play-pause"});
    ASSERT_TRUE(run_until([&] { return document->is_paused(); }));
    EXPECT_EQ(playerctl({"status"}), "Paused");
    command({"play-pause"});
    ASSERT_TRUE(run_until([&] { return !document->is_paused(); }));
    EXPECT_EQ(playerctl({"status"}), "Playing");

    // A seek moves the reader, and the position the desktop reads follows.
    SeekedSignals seeked;
    command({"position", "30"});
    ASSERT_TRUE(run_until([&] { return document->reader() && document->reader()->info().time() >= 29.0; }));
    EXPECT_GE(position(), 29.0);
    EXPECT_LT(position(), 45.0);
    ASSERT_TRUE(run_until([&] {
        const std::vector<double>& heard = seeked.heard();
        return std::find(heard.begin(), heard.end(), 30.0) != heard.end();
    }));
    command({"position", "10-"});
    ASSERT_TRUE(run_until([&] { return document->reader() && document->reader()->info().time() < 25.0; }));
    EXPECT_LT(position(), 30.0);
    // A seek made elsewhere (the screen's slider) is told as one too.
    const size_t before = seeked.heard().size();
    ASSERT_TRUE(document->seek(0.75));
    ASSERT_TRUE(run_until([&] { return seeked.heard().size() > before && seeked.heard().back() >= 44.0; }));
    EXPECT_GE(position(), 44.0);

    command({"stop"});
    ASSERT_TRUE(run_until([&] { return !document->is_playing(); }));
    EXPECT_EQ(playerctl({"status"}), "Stopped");
    // Play starts the recording again.
    command({"play"});
    ASSERT_TRUE(run_until([&] { return document->is_playing(); }));
    command({"stop"});
    ASSERT_TRUE(run_until([&] { return !document->is_playing(); }));
    ASSERT_TRUE(call_method(player, path, "org.mpris.MediaPlayer2", "Raise", ""));
    ASSERT_TRUE(run_until([&] { return raised == 1; }));
}

TEST_F(MediaSessionTest, PlayPauseHoldsAndResumesAVoiceNoteThatSaysItRecords) {
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    ASSERT_TRUE(run_until([&] { return playerctl({"status"}) == "Playing"; }));
    EXPECT_EQ(playerctl({"metadata", "xesam:artist"}), "Recording");
    EXPECT_EQ(playerctl({"metadata", "xesam:title"}), os::to_utf8(document->current_record().title));

    command({"play-pause"});
    ASSERT_TRUE(run_until([&] { return document->is_paused(); }));
    EXPECT_TRUE(document->is_recording());
    EXPECT_EQ(playerctl({"status"}), "Paused");
    command({"play-pause"});
    ASSERT_TRUE(run_until([&] { return !document->is_paused(); }));
    EXPECT_TRUE(document->is_recording());
    EXPECT_EQ(playerctl({"status"}), "Playing");
    document->stop();
    ASSERT_TRUE(run_until([&] { return playerctl({"status"}) == "Stopped"; }));

    // A call's recording is shown but follows the call alone.
    ASSERT_TRUE(document->record(true, u"Alice Walker", u"+44 20 7946 0958", call_direction_incoming));
    // With nothing it may do, playerctl passes the player by: the desktop's own reading shows it.
    std::string reply;
    ASSERT_TRUE(run_until([&] {
        return call_method(player, path, "org.freedesktop.DBus.Properties", "Get",
                           "('org.mpris.MediaPlayer2.Player', 'Metadata')", &reply) &&
               reply.find("'xesam:artist': <['Recording: Alice Walker']>") != std::string::npos;
    })) << reply;
    ASSERT_TRUE(call_method(player, path, "org.freedesktop.DBus.Properties", "Get",
                            "('org.mpris.MediaPlayer2.Player', 'CanPause')", &reply));
    EXPECT_EQ(reply, "(<false>,)");
    ASSERT_TRUE(call_method(player, path, "org.mpris.MediaPlayer2.Player", "PlayPause", ""));
    // Commands are carried out in order: once the Raise after it arrived, the play-pause was seen.
    ASSERT_TRUE(call_method(player, path, "org.mpris.MediaPlayer2", "Raise", ""));
    ASSERT_TRUE(run_until([&] { return raised == 1; }));
    EXPECT_FALSE(document->is_paused());
    document->stop();
}

}  // namespace

// With no session bus nothing is published, and the log says so once.
TEST(MprisWithoutBus, PublishesNothingAndSaysSoOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // The root goes before the exit, which runs no destructors of this block.
            bool passed = false;
            {
                TempRoot root;
                ScopedEnv env("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + root.path() + "/no-bus").c_str());
                os::reg_write_dword(kKorvel, u"Log", 1);
                bool ok = false;
                {
                    os::MprisService service(u"Quillon Touch", u"com.korvel.QuillonTouch", u"QuillonTouch");
                    ok = !service.wait_published(10);
                    service.publish({});
                }
                const std::u16string log = read_log_text(os::to_utf8(os::log_file_path()));
                size_t lines = 0;
                for (size_t at = log.find(u"mpris: no session bus: "); at != std::u16string::npos;
                     at = log.find(u"mpris: no session bus: ", at + 1)) {
                    ++lines;
                }
                passed = ok && lines == 1;
            }
            std::exit(passed ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

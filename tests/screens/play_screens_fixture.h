#pragma once
// The recording and playback screens as the main screen holds them: the shared menu and dialogs,
// a stand-in for the main screen at the bottom of the stack that brings up the recording screen
// when a recording starts, and pointer drags across the slider thumbs.
#include <memory>
#include <string>

#include "document/settings.h"
#include "screens/dialogs.h"
#include "screens/menu.h"
#include "screens/playback_screen.h"
#include "screens/recording_screen.h"
#include "skin/progress_widget.h"
#include "skin/screen.h"
#include "tests/screens/screen_fixture.h"

namespace screen_test {

// What the main screen does for these screens: it lies under them, and it refreshes and pushes
// the recording screen when a recording (or an append) starts.
class MainStandIn final : public Screen, public DocumentObserver {
public:
    explicit MainStandIn(RecordingScreen& recording) : m_recording(recording) {}
    void on_document_event(const DocumentEvent& event) override {
        if (event.code == DocumentEvent::RecordingStarted || event.code == DocumentEvent::AppendStarted) {
            m_recording.refresh(true);
            m_recording.show(false);
        }
    }

private:
    RecordingScreen& m_recording;
};

class PlayScreensFixture : public ScreenFixture {
protected:
    void SetUp() override {
        ScreenFixture::SetUp();
        menu = std::make_unique<Menu>(*context);
        rename = std::make_unique<RenameDialog>(*context);
        error = std::make_unique<ErrorDialog>(*context);
        recording = std::make_unique<RecordingScreen>(*context, *menu, *rename);
        playback = std::make_unique<PlaybackScreen>(*context, *menu, *rename, *error);
        main = std::make_unique<MainStandIn>(*recording);
        document->add_observer(main.get());
        stack.push_screen(main.get(), false);
    }
    void TearDown() override {
        if (document) document->stop();
        document->remove_observer(main.get());
        stack.remove_screen(main.get());
        main.reset();
        playback.reset();
        recording.reset();
        error.reset();
        rename.reset();
        menu.reset();
        ScreenFixture::TearDown();
    }

    // The x of a fraction of a widget's width, in screen pixels.
    static int32_t x_at(const Widget& widget, double fraction) {
        return widget.position().x + static_cast<int32_t>(widget.size().width * fraction);
    }
    static int32_t middle_y(const Widget& widget) { return widget.position().y + widget.size().height / 2; }
    void press_at(const Widget& widget, double fraction) {
        frame();
        stack.on_pointer_down(x_at(widget, fraction), middle_y(widget));
    }
    void move_to(const Widget& widget, double fraction) {
        stack.on_pointer_move(x_at(widget, fraction), middle_y(widget));
    }
    void release_at(const Widget& widget, double fraction) {
        stack.on_pointer_up(x_at(widget, fraction), middle_y(widget), false);
        frame();
    }

    static Widget& child(Widget& screen, std::u16string_view id) {
        Widget* found = screen.find_child(id);
        if (!found) throw std::runtime_error("no such node");
        return *found;
    }
    static double bar_value(Widget& screen, std::u16string_view id) {
        auto* bar = dynamic_cast<ProgressWidget*>(screen.find_child(id));
        return bar ? bar->value() : -1.0;
    }
    static std::u16string text(Widget& screen, std::u16string_view id) { return child(screen, id).text(); }
    static bool visible(Widget& screen, std::u16string_view id) { return child(screen, id).is_visible(); }

    // The settings as the registry holds them now.
    static Settings saved_settings() {
        Settings settings;
        settings.load_first();
        settings.load_secondary();
        return settings;
    }

    std::unique_ptr<Menu> menu;
    std::unique_ptr<RenameDialog> rename;
    std::unique_ptr<ErrorDialog> error;
    std::unique_ptr<RecordingScreen> recording;
    std::unique_ptr<PlaybackScreen> playback;
    std::unique_ptr<MainStandIn> main;
};

}  // namespace screen_test

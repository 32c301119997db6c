#pragma once
// Screens on the null display: a Document on a plain event loop (file microphone and speaker, as the
// document tests use) or the stand-in document, the shipped default skin and English, a screen stack at phone size, and
// a host that records what the screens asked of the window. Input goes through the screen stack as the window would
// send it.
#include <memory>
#include <string>
#include <vector>

#include "lang/language.h"
#include "screens/screen_context.h"
#include "skin/properties.h"
#include "skin/render_surface.h"
#include "skin/screen_manager.h"
#include "tests/document/document_test_support.h"
#include "tests/screens/fake_document.h"

namespace screen_test {

class FakeHost final : public ScreenHost {
public:
    void minimise() override { ++minimised; }
    void bring_to_front() override { ++brought_to_front; }
    void quit() override { ++quits; }
    void show_message(std::u16string_view text) override { messages.emplace_back(text); }

    int minimised = 0;
    int brought_to_front = 0;
    int quits = 0;
    std::vector<std::u16string> messages;
};

// The skin, language, screen stack and host the screens are built on, for either document.
class ScreenParts {
protected:
    static constexpr Size screen_size{480, 800};

    // Loads the skin and the language and makes the context over the document.
    void set_up(DocumentFace& document);
    void tear_down();

    // Lays out and draws the stack as the window's next frame would (finishing any transition).
    void frame();
    // The last frame drawn.
    const RenderSurface& frame_surface() const { return m_frame; }
    // A tap at the middle of a widget of the top screen (drawn first, so it has its place).
    void tap(const Widget& widget);
    void press_key(int32_t code);
    // The widget's top-left corner on the screen.
    static Point screen_position(const Widget& widget);

    Properties skin;
    Language language{u"%app_path%"};
    ScreenManager stack{screen_size};
    FakeHost host;
    // Made in SetUp, once the document exists.
    std::unique_ptr<ScreenContext> context;

private:
    RenderSurface m_frame;
};

// Screens over the real document, for what needs recording and playback to run.
class ScreenFixture : public document_test::DocumentFixture, public ScreenParts {
protected:
    void SetUp() override;
    void TearDown() override;
};

// Screens over the stand-in document: no audio, no real time, the same skin and stack.
class FakeScreenFixture : public ::testing::Test, public ScreenParts {
protected:
    void SetUp() override;
    void TearDown() override;

    TempRoot root;
    PlainEventLoop loop;
    CActiveScheduler scheduler{loop};
    FakeDocument fake;
};

}  // namespace screen_test

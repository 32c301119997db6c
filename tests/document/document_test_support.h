#pragma once
// A Document on a plain event loop in a fresh QUILLON_ROOT, with a file microphone playing a tone
// and a file speaker, so recording and playback run with no sound card.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "core/active_scheduler.h"
#include "core/plain_event_loop.h"
#include "document/document.h"
#include "tests/os/temp_root.h"
#include "tests/support/wav_file.h"

namespace document_test {

using test_support::write_tone;

class EventLog final : public DocumentObserver {
public:
    void on_document_event(const DocumentEvent& event) override { events.push_back(event); }
    int count(int code) const {
        int n = 0;
        for (const DocumentEvent& event : events) n += event.code == code;
        return n;
    }
    std::vector<int> codes() const {
        std::vector<int> out;
        for (const DocumentEvent& event : events) out.push_back(event.code);
        return out;
    }
    std::vector<DocumentEvent> events;
};

class DocumentFixture : public ::testing::Test {
protected:
    void SetUp() override {
        env.set("QUILLON_APP_DIR", QUILLON_BIN_DIR);
        microphone = root.path() + "/microphone.wav";
        speaker = root.path() + "/speaker.wav";
        write_tone(microphone, 44100, 30.0);
        env.set("QUILLON_AUDIO_IN", microphone);
        env.set("QUILLON_AUDIO_OUT", speaker);
        env.set("QUILLON_AUDIO_PACE", "0");
        document = std::make_unique<Document>();
        document->add_observer(&log);
    }
    void TearDown() override {
        if (document) document->remove_observer(&log);
        document.reset();
    }

    // Runs the loop until the condition holds; false after the time limit.
    template <typename Condition>
    bool run_until(Condition condition, uint32_t timeout_ms = 20000) {
        return loop.run_until(condition, timeout_ms);
    }
    // Runs the loop for a while whatever happens.
    void run_for(uint32_t milliseconds) {
        loop.run_until([] { return false; }, milliseconds);
    }

    TempRoot root;
    ScopedEnv env;
    std::string microphone;
    std::string speaker;
    PlainEventLoop loop;
    CActiveScheduler scheduler{loop};
    std::unique_ptr<Document> document;
    EventLog log;
};

}  // namespace document_test

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

namespace document_test {

// A mono 16-bit PCM WAV holding a tone.
inline void write_tone(const std::string& path, int rate, double seconds, double hz = 440.0, double amplitude = 8000) {
    const uint32_t frames = static_cast<uint32_t>(rate * seconds);
    std::string bytes = "RIFF";
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes += static_cast<char>(v >> (8 * i));
    };
    auto u16 = [&](uint16_t v) {
        bytes += static_cast<char>(v);
        bytes += static_cast<char>(v >> 8);
    };
    u32(36 + frames * 2);
    bytes += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(static_cast<uint32_t>(rate));
    u32(static_cast<uint32_t>(rate * 2));
    u16(2);
    u16(16);
    bytes += "data";
    u32(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        u16(static_cast<uint16_t>(static_cast<int16_t>(amplitude * std::sin(2 * M_PI * hz * i / rate))));
    }
    write_bytes(path, bytes);
}

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
        ::setenv("QUILLON_APP_DIR", QUILLON_BIN_DIR, 1);
        microphone = root.path() + "/microphone.wav";
        speaker = root.path() + "/speaker.wav";
        write_tone(microphone, 44100, 30.0);
        ::setenv("QUILLON_AUDIO_IN", microphone.c_str(), 1);
        ::setenv("QUILLON_AUDIO_OUT", speaker.c_str(), 1);
        ::setenv("QUILLON_AUDIO_PACE", "0", 1);
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
    std::string microphone;
    std::string speaker;
    PlainEventLoop loop;
    CActiveScheduler scheduler{loop};
    std::unique_ptr<Document> document;
    EventLog log;
};

}  // namespace document_test

#pragma once
// What the document commands of quillon-tool share: a scheduler on a plain event loop, the
// Document, and a run loop that stops on a condition, a time limit, or Ctrl-C / SIGTERM / SIGHUP (after
// which the command still stops the recording properly, so the file is complete).
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/active_scheduler.h"
#include "core/plain_event_loop.h"
#include "document/document.h"
#include "os/event.h"
#include "os/stopwatch.h"
#include "os/text.h"

namespace document_tool {

inline volatile std::sig_atomic_t interrupted = 0;

inline void on_signal(int) { interrupted = 1; }

// Remembers the last error code the document reported (9, 10, 11).
class EventWatch final : public DocumentObserver {
public:
    void on_document_event(const DocumentEvent& event) override {
        if (event.code >= DocumentEvent::CardProblem) error = event.code;
    }
    int error = 0;
};

class DocumentSession {
public:
    DocumentSession() {
        std::signal(SIGINT, on_signal);
        std::signal(SIGTERM, on_signal);
        std::signal(SIGHUP, on_signal);
        document = std::make_unique<Document>();
        document->add_observer(&events);
    }
    ~DocumentSession() {
        document->remove_observer(&events);
        document.reset();
    }

    // Dispatches until keep_going() is false, seconds have passed (< 0: no limit) or a signal
    // came. False when a signal ended it.
    template <typename Condition>
    bool run(double seconds, Condition keep_going) {
        const Stopwatch watch;
        while (!interrupted && keep_going() && (seconds < 0 || watch.elapsed() < seconds)) {
            loop.run_until([&] { return interrupted || !keep_going(); }, 50);
        }
        return !interrupted;
    }

    PlainEventLoop loop;
    CActiveScheduler scheduler{loop};
    std::unique_ptr<Document> document;
    EventWatch events;
};

// Finds "--name VALUE" in args, removing both; empty when absent.
inline std::string take_option(std::vector<std::string>& args, const std::string& name) {
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == name) {
            std::string value = args[i + 1];
            args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                       args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            return value;
        }
    }
    return {};
}

// -1 for an absent or unreadable number.
inline double seconds_option(std::vector<std::string>& args) {
    const std::string text = take_option(args, "--seconds");
    if (text.empty()) return -1;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return end && *end == 0 && value >= 0 ? value : -2;
}

inline void print_line(const std::u16string& text) {
    std::printf("%s\n", os::to_utf8(text).c_str());
    std::fflush(stdout);
}

}  // namespace document_tool

// A modem stack that flaps between ringing and active, published the way the phone bridge publishes
// (its call table and line publisher, in this process) to a running quillon-touch: no piece of a
// recording shorter than a real moment of conversation is left behind.
#include <cstdio>
#include <filesystem>
#include <string>

#include "os/text.h"
#include "telephony/bridge/call_table.h"
#include "telephony/bridge/line_publisher.h"
#include "tests/calls/calls_test_support.h"

namespace {

using namespace calls_test;

class CallFlap : public CallsFixture {
protected:
    void SetUp() override {
        CallsFixture::SetUp();
        ASSERT_EQ(settings({"AutoRecord", "1"}).status, 0);
    }

    // 1,000 changes between ringing and active, as fast as they can be published; the seconds it took.
    double flood(BridgeCallPhase last) {
        const Stopwatch watch;
        for (int i = 0; i < 1000; ++i) {
            EXPECT_TRUE(table.set_phase("mm:/1", i % 2 ? BridgeCallPhase::ringing : BridgeCallPhase::active));
            publisher.publish(table.snapshot());
        }
        table.set_phase("mm:/1", last);
        publisher.publish(table.snapshot());
        return watch.elapsed();
    }

    void ring() {
        BridgeCall call;
        call.key = "mm:/1";
        call.phase = BridgeCallPhase::ringing;
        call.direction = BridgeCallDirection::incoming;
        call.number = os::from_utf8(caller_number);
        table.update(call);
        publisher.publish(table.snapshot());
    }
    void hang_up() {
        table.remove("mm:/1");
        publisher.publish(table.snapshot());
    }

    CallTable table;
    LinePublisher publisher;
};

TEST_F(CallFlap, AFloodOfStateChangesLeavesNoFileUnderHalfASecond) {
    start_touch();
    // A flood that ends with the call never answered.
    ring();
    const double seconds = flood(BridgeCallPhase::ringing);
    std::printf("[ figure ] 1000 published changes took %.3f s\n", seconds);
    hang_up();
    // The end of a call is told half a second after it is last seen: twice that passes.
    sleep_seconds(1.0);
    sync_touch();
    for (const std::string& path : recordings(documents(), true)) {
        EXPECT_GE(duration_of(path), 0.5) << path;
    }
    if (seconds < 0.4) {
        EXPECT_TRUE(recordings(documents(), true).empty());
    }
    const size_t before = recordings(documents(), true).size();

    // A flood that ends with the call answered: one recording, whole, from it.
    ring();
    const double answered_after = flood(BridgeCallPhase::active);
    sleep_seconds(1.5);
    hang_up();
    EXPECT_TRUE(await([&] { return touch_log().rfind("on_call_stop\n") != std::string::npos; }, 10.0));
    sleep_seconds(1.0);
    sync_touch();
    const std::vector<std::string> files = recordings(documents(), true);
    // A flood as fast as a phone's stack flaps leaves exactly the answered call's recording. One
    // that a loaded machine stretches over seconds holds real stretches of half a second or more,
    // which may be kept as calls of their own, but never anything shorter.
    if (answered_after < 0.4) {
        EXPECT_EQ(files.size(), before + 1);
    } else {
        EXPECT_GE(files.size(), before + 1);
    }
    for (const std::string& path : files) EXPECT_GE(duration_of(path), 0.5) << path;
    EXPECT_EQ(stop_touch(), 0);
}

}  // namespace

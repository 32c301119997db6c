#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "core/active.h"
#include "core/active_scheduler.h"
#include "core/plain_event_loop.h"
#include "core/timer.h"
#include "os/event.h"
#include "tests/app/fake_tick.h"

namespace {

// Completes when someone calls notify; do_cancel completes it from the calling thread.
class Request final : public CActive {
public:
    Request(std::string name, std::string& trace) : m_name(std::move(name)), m_trace(trace) {}
    ~Request() override { cancel(); }
    int cancels = 0;

protected:
    void run() override { m_trace += m_name; }
    void do_cancel() override {
        ++cancels;
        CActiveScheduler::instance()->notify(*this);
    }

private:
    std::string m_name;
    std::string& m_trace;
};

struct Counter final : TimerObserver {
    int fired = 0;
    int rearm = 0;  // arm again this many times from on_timer
    double delay = 0.001;
    void on_timer(Timer& timer) override {
        ++fired;
        if (rearm > 0) {
            --rearm;
            timer.after(delay);
        }
    }
};

class SchedulerTest : public ::testing::Test {
protected:
    PlainEventLoop loop;
    CActiveScheduler scheduler{loop};
    std::string trace;
};

TEST_F(SchedulerTest, RunsInCompletionOrderFromAnyThread) {
    EXPECT_EQ(CActiveScheduler::instance(), &scheduler);
    Request a("A", trace), b("B", trace), c("C", trace);
    EXPECT_EQ(b.id(), a.id() + 1);
    a.set_active();
    b.set_active();
    c.set_active();
    EXPECT_EQ(scheduler.active_counter(), 3);
    scheduler.notify(a);
    scheduler.notify(b);
    EXPECT_EQ(trace, "");  // nothing runs until the loop dispatches
    EXPECT_EQ(loop.pending_posts(), 2u);
    loop.run_until_idle();
    EXPECT_EQ(trace, "AB");
    EXPECT_FALSE(a.is_active());

    // A completion on a worker thread wakes a loop that is asleep.
    std::thread worker([&] { scheduler.notify(c); });
    EXPECT_TRUE(loop.run_until([&] { return trace == "ABC"; }));
    worker.join();
    EXPECT_EQ(scheduler.active_counter(), 0);
}

TEST_F(SchedulerTest, ObjectsNotifiedDuringARunRunInTheSamePass) {
    struct Chain final : CActive {
        Chain* next = nullptr;
        std::string* trace = nullptr;
        char name = '?';
        void run() override {
            *trace += name;
            if (next) CActiveScheduler::instance()->notify(*next);
        }
        void do_cancel() override {}
    } first, second;
    first.trace = second.trace = &trace;
    first.name = '1';
    second.name = '2';
    first.next = &second;
    first.set_active();
    second.set_active();
    scheduler.notify(first);
    loop.run_until_idle();
    EXPECT_EQ(trace, "12");
}

TEST_F(SchedulerTest, AfterZeroIsNotSynchronous) {
    Counter counter;
    Timer timer(counter);
    timer.after(0);
    EXPECT_EQ(counter.fired, 0);
    EXPECT_TRUE(timer.is_armed());
    EXPECT_EQ(loop.pending_posts(), 1u);
    loop.run_until_idle();
    EXPECT_EQ(counter.fired, 1);
    EXPECT_FALSE(timer.is_armed());
}

TEST_F(SchedulerTest, DelaysRoundToWholeMilliseconds) {
    FakeTick tick(5000);
    Counter counter;
    Timer timer(counter);
    struct Case {
        double seconds;
        uint32_t milliseconds;
    };
    for (const Case& c : {Case{0.2, 200}, Case{0.001, 1}, Case{0.0015, 2}, Case{0.0014, 1}, Case{1.9999, 2000}}) {
        timer.after(c.seconds);
        EXPECT_EQ(loop.timer_interval(), c.milliseconds) << c.seconds;
    }
    // Rounds to zero: due at once, queued by the check inside after().
    timer.after(0.0004);
    EXPECT_FALSE(loop.timer_is_set());
    loop.run_until_idle();
    EXPECT_EQ(counter.fired, 1);

    // Re-arming replaced every earlier arming: only the last one fired.
    tick.advance(5000);
    loop.run_until_idle();
    EXPECT_EQ(counter.fired, 1);
}

TEST_F(SchedulerTest, TimersFireOnTheTickInDueOrder) {
    FakeTick tick(100);
    std::string order;
    struct Named final : TimerObserver {
        Named(std::string& order, char name) : order(order), name(name) {}
        std::string& order;
        char name;
        void on_timer(Timer&) override { order += name; }
    } slow(order, 's'), fast(order, 'f');
    Timer slow_timer(slow), fast_timer(fast);
    slow_timer.after(0.3);
    fast_timer.after(0.1);
    EXPECT_EQ(loop.timer_interval(), 100u);
    tick.advance(99);
    loop.run_until_idle();
    EXPECT_EQ(order, "");
    tick.advance(1);
    loop.run_until_idle();
    EXPECT_EQ(order, "f");
    EXPECT_EQ(loop.timer_interval(), 200u);  // re-armed for the nearest remaining timer
    tick.advance(200);
    loop.run_until_idle();
    EXPECT_EQ(order, "fs");
    EXPECT_FALSE(loop.timer_is_set());
}

TEST_F(SchedulerTest, CancelOfIdleObjectDoesNothing) {
    Request idle("I", trace);
    idle.cancel();
    EXPECT_EQ(idle.cancels, 0);
    EXPECT_EQ(loop.pending_posts(), 0u);
    Counter counter;
    Timer timer(counter);
    timer.cancel();
    EXPECT_EQ(loop.pending_posts(), 0u);
    EXPECT_EQ(scheduler.active_counter(), 0);
}

TEST_F(SchedulerTest, CancelWhileAnotherTimerIsDueLetsTheOtherRun) {
    FakeTick tick(0);
    Counter first, second;
    Timer first_timer(first), second_timer(second);
    first_timer.after(0.05);
    second_timer.after(0.05);
    tick.advance(50);
    // Both are due; the cancel's own check queues both and takes only the cancelled one.
    first_timer.cancel();
    loop.run_until_idle();
    EXPECT_EQ(first.fired, 0);
    EXPECT_EQ(second.fired, 1);
    EXPECT_EQ(scheduler.active_counter(), 0);

    // A cancelled timer can be armed again at once.
    first_timer.after(0);
    loop.run_until_idle();
    EXPECT_EQ(first.fired, 1);
}

TEST_F(SchedulerTest, CancelWaitingForAnotherThreadKeepsOtherCompletions) {
    // The cancelled object completes on a worker; a wake-up for B is taken by the cancel's wait
    // and must be given back so that B still runs.
    struct Remote final : CActive {
        Event cancel_requested;
        bool ran = false;
        void run() override { ran = true; }
        void do_cancel() override { cancel_requested.set(); }
    } remote;
    Request b("B", trace);
    remote.set_active();
    b.set_active();
    std::thread worker([&] {
        remote.cancel_requested.wait();
        CActiveScheduler::instance()->notify(remote);
    });
    scheduler.notify(b);
    remote.cancel();
    worker.join();
    EXPECT_FALSE(remote.is_active());
    EXPECT_EQ(trace, "");  // nothing ran inside the cancel
    loop.run_until_idle();
    EXPECT_EQ(trace, "B");
    EXPECT_FALSE(remote.ran);
    EXPECT_EQ(scheduler.active_counter(), 0);
}

TEST_F(SchedulerTest, TimerReArmsInsideOnTimer) {
    Counter counter;
    counter.rearm = 3;
    Timer timer(counter);
    timer.after(0.001);
    EXPECT_TRUE(loop.run_until([&] { return counter.fired == 4; }, 5000));
    EXPECT_FALSE(timer.is_armed());
}

TEST_F(SchedulerTest, DestroyingAnArmedTimerCancelsIt) {
    Counter counter;
    {
        Timer timer(counter);
        timer.after(0);
    }
    loop.run_until_idle();
    EXPECT_EQ(counter.fired, 0);
    EXPECT_EQ(scheduler.active_counter(), 0);
}

TEST_F(SchedulerTest, TimerArmedBeforeTheTickWrapsFiresAfterItsDelay) {
    FakeTick tick(0xFFFFFFFFu - 49);
    Counter counter, other;
    Timer timer(counter), other_timer(other);
    timer.after(0.1);  // due at tick 50 after the wrap
    EXPECT_EQ(loop.timer_interval(), 100u);
    // Before the wrap the due tick is numerically smaller than now: a check must not fire it.
    tick.advance(10);
    other_timer.after(1.0);
    loop.run_until_idle();
    EXPECT_EQ(counter.fired, 0);
    EXPECT_EQ(loop.timer_interval(), 90u);
    tick.advance(89);
    EXPECT_LT(tick.now(), 100u);  // the tick has wrapped
    loop.run_until_idle();
    EXPECT_EQ(counter.fired, 0);
    tick.advance(1);
    loop.run_until_idle();
    EXPECT_EQ(counter.fired, 1);
    other_timer.cancel();
}

TEST_F(SchedulerTest, FarTimerWaitsForAnotherCheck) {
    FakeTick tick(1000);
    Counter far, near, other;
    Timer far_timer(far), near_timer(near), other_timer(other);
    far_timer.after(10000.0);  // 10,000,000 ms: does not start the loop's timer
    EXPECT_FALSE(loop.timer_is_set());
    far_timer.after(9999.999);  // one millisecond less does
    EXPECT_EQ(loop.timer_interval(), 9999999u);
    far_timer.after(20000.0);
    EXPECT_FALSE(loop.timer_is_set());

    near_timer.after(0.05);
    EXPECT_EQ(loop.timer_interval(), 50u);
    tick.advance(50);
    loop.run_until_idle();
    EXPECT_EQ(near.fired, 1);
    EXPECT_FALSE(loop.timer_is_set());

    // Long past its due time the far timer is found only by the next check someone causes.
    tick.advance(20000000);
    loop.run_until_idle();
    EXPECT_EQ(far.fired, 0);
    other_timer.after(1.0);
    loop.run_until_idle();
    EXPECT_EQ(far.fired, 1);
    other_timer.cancel();
}

TEST_F(SchedulerTest, HugeAndNegativeDelaysAreClamped) {
    FakeTick tick(0);
    Counter counter;
    Timer timer(counter);
    timer.after(1e300);
    EXPECT_FALSE(loop.timer_is_set());
    timer.after(-5.0);  // in the past: due at once
    loop.run_until_idle();
    EXPECT_EQ(counter.fired, 1);
}

TEST_F(SchedulerTest, QuitLetsPostedWorkRunFirst) {
    Request a("A", trace);
    a.set_active();
    loop.post_task([&] { scheduler.notify(a); });
    loop.quit();
    loop.run();
    EXPECT_EQ(trace, "A");
}

}  // namespace

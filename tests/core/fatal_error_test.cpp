#include <gtest/gtest.h>

#include "core/active.h"
#include "core/active_scheduler.h"
#include "core/plain_event_loop.h"
#include "core/singleton.h"
#include "core/timer.h"

namespace {

// fatal_error ends the process with a non-zero status after writing the report.
bool failed(int status) { return WIFEXITED(status) && WEXITSTATUS(status) != 0; }

struct Idle final : CActive {
    void run() override {}
    void do_cancel() override {}
};

class FatalErrorTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(FatalErrorTest, ActiveObjectContractViolations) {
    EXPECT_EXIT(
        {
            PlainEventLoop loop;
            CActiveScheduler scheduler(loop);
            Idle object;
            object.set_active();
            object.set_active();
        },
        failed, "Gluck: Object [0-9]+ is already active @ CActiveScheduler::set_active\\(\\)");
    EXPECT_EXIT(
        {
            PlainEventLoop loop;
            CActiveScheduler scheduler(loop);
            Idle object;
            scheduler.notify(object);
        },
        failed, "Gluck: Active object [0-9]+ is not active @ CActiveScheduler::notify\\(\\)");
    EXPECT_EXIT(
        {
            PlainEventLoop loop;
            CActiveScheduler scheduler(loop);
            Idle object;
            object.set_active();
            scheduler.notify(object);
            scheduler.notify(object);  // queued twice: the second turn finds it idle
            scheduler.process_actives();
        },
        failed, "Gluck: Active object [0-9]+ is not marked active @ CActiveScheduler::process_actives\\(\\)");
    EXPECT_EXIT(
        {
            PlainEventLoop loop;
            CActiveScheduler scheduler(loop);
            auto object = std::make_unique<Idle>();
            object->set_active();
            object.reset();
        },
        failed, "Gluck: Active object [0-9]+ is already active @ CActive::~CActive\\(\\)");
    EXPECT_EXIT(
        {
            PlainEventLoop loop;
            auto scheduler = std::make_unique<CActiveScheduler>(loop);
            static Idle object;  // outlives the scheduler
            object.set_active();
            scheduler.reset();
        },
        failed, "Gluck: Some active objects still live while scheduler is terminating active_counter=1 @ \n");
}

TEST_F(FatalErrorTest, SecondSingletonOfAKind) {
    struct Only final : Singleton<Only> {};
    Only only;
    EXPECT_EQ(Only::instance(), &only);
    EXPECT_EXIT({ Only another; }, failed, "Gluck: Singleton is already instantiated @ Singleton::Singleton\\(\\)");
}

TEST(SingletonTest, DestructionFreesTheKind) {
    struct Kind final : Singleton<Kind> {};
    { Kind first; }
    EXPECT_EQ(Kind::instance(), nullptr);
    Kind second;
    EXPECT_EQ(Kind::instance(), &second);
}

}  // namespace

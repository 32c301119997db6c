#include <gtest/gtest.h>
#include <sys/socket.h>

#include <csignal>
#include <filesystem>
#include <mutex>
#include <thread>

#include "app/application_listener.h"
#include "app/game_base.h"
#include "app/instance_channel.h"
#include "core/plain_event_loop.h"
#include "os/event.h"
#include "os/path.h"
#include "os/registry.h"
#include "os/stopwatch.h"
#include "os/text.h"
#include "tests/app/process_helpers.h"
#include "tests/os/temp_root.h"

namespace {

constexpr std::u16string_view kClassName = u"GlazerClass_Quillon Touch";

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 1)); }

    std::u16string log() { return read_log_text(root.path() + "/Temp/quillon-touch.txt"); }
    bool log_has(std::u16string_view text) { return log().find(text) != std::u16string::npos; }
    std::string socket_file() { return os::to_utf8(instance_channel::socket_path(kClassName)); }

    // Starts the first instance and waits until a second start can find it.
    std::unique_ptr<Program> start_first() {
        auto first = std::make_unique<Program>(std::vector<std::string>{});
        EXPECT_TRUE(first->started());
        EXPECT_TRUE(watch.wait_until([&] { return log_has(u"WinMain2:"); })) << os::to_utf8(log());
        return first;
    }

    // The texts of the lines that begin with prefix, in file order.
    std::vector<std::u16string> lines_after(std::u16string_view prefix) {
        std::vector<std::u16string> found;
        const std::u16string text = log();
        size_t at = 0;
        while ((at = text.find(prefix, at)) != std::u16string::npos) {
            const size_t end = text.find(u'\n', at);
            found.push_back(text.substr(at + prefix.size(), end - at - prefix.size()));
            at = end;
        }
        return found;
    }

    TempRoot root;
    FolderWatch watch{root.path()};
};

TEST_F(SingleInstanceTest, SecondStartsHandOverInArrivalOrderAndExit) {
    auto first = start_first();
    Program second({"record"});
    EXPECT_EQ(second.wait(), 0);
    Program third({});
    EXPECT_EQ(third.wait(), 0);
    Program fourth({"call", "now"});
    EXPECT_EQ(fourth.wait(), 0);

    const std::vector<std::u16string> expected{u"record", u"", u"call now"};
    EXPECT_TRUE(watch.wait_until([&] { return lines_after(u"on_other_instance_started:").size() == 3; }));
    first->signal(SIGTERM);
    EXPECT_EQ(first->wait(), 0);
    EXPECT_EQ(lines_after(u"on_other_instance_started:"), expected);

    // The first instance's start-up, in order; the second starts built nothing and, finding the
    // log taken, wrote nothing into it.
    const std::u16string text = log();
    size_t at = 0;
    for (std::u16string_view line :
         {u"WinMain:", u"Application::show_running_instance_open_bracket cmd_line=\n", u"WinMain1:", u" GameBase 0\n",
          u" GameBase 5\n", u"Application::Application() this=", u"WinMain2:", u"Starter:", u"quit signal=15\n"}) {
        const size_t found = text.find(line, at);
        ASSERT_NE(found, std::u16string::npos) << os::to_utf8(line) << " in\n" << os::to_utf8(text);
        at = found;
    }
    EXPECT_EQ(lines_after(u"WinMain1:").size(), 1u);
    EXPECT_EQ(lines_after(u"cmd_line=").size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(socket_file()));  // removed at a clean exit
}

TEST_F(SingleInstanceTest, SecondStartWaitsForTheMutexThenHandsOver) {
    // This process plays the running instance while it is still starting: mutex held, channel open.
    instance_channel::StartupMutex mutex;
    ASSERT_TRUE(mutex.open(u"Quillon Touch"));
    ASSERT_EQ(mutex.wait(), instance_channel::WaitResult::Owned);
    std::mutex lock;
    std::vector<std::u16string> received;
    instance_channel::InstanceServer server([&](std::u16string text, instance_channel::Receipt receipt) {
        std::lock_guard guard(lock);
        received.push_back(std::move(text));
        receipt.confirm();
    });
    ASSERT_TRUE(server.start(kClassName));

    Program second({"record", "and", "more"});
    ASSERT_TRUE(watch.wait_until([&] { return log_has(u"cmd_line=record and more\n"); })) << os::to_utf8(log());
    {
        std::lock_guard guard(lock);
        EXPECT_TRUE(received.empty());  // nobody may look for us while we hold the mutex
    }
    mutex.release();
    EXPECT_EQ(second.wait(), 0);
    std::lock_guard guard(lock);
    EXPECT_EQ(received, std::vector<std::u16string>{u"record and more"});
    EXPECT_TRUE(log_has(u"Application::EnumProc window found hwnd=" + os::to_text(::getpid()) + u" 1\n"));
    EXPECT_TRUE(log_has(u"Application::EnumProc window found 2\n"));
    EXPECT_FALSE(log_has(u"WinMain1:"));
}

// A sender that gave up before the running instance came round to its command (the instance was
// stopped, or busy) has withdrawn it: the command never runs later. One that waits gets it run once.
TEST_F(SingleInstanceTest, ACommandWhoseSenderGaveUpNeverRuns) {
    std::mutex lock;
    std::vector<instance_channel::Receipt> held;
    instance_channel::InstanceServer server([&](std::u16string, instance_channel::Receipt receipt) {
        std::lock_guard guard(lock);
        held.push_back(std::move(receipt));
    });
    ASSERT_TRUE(server.start(kClassName));

    long long peer = 0;
    const int gave_up = instance_channel::connect_to_running_instance(kClassName, peer);
    ASSERT_GE(gave_up, 0);
    // "record" as the sender frames it, then the sender is gone.
    const char frame[] = {12, 0, 0, 0, 'r', 0, 'e', 0, 'c', 0, 'o', 0, 'r', 0, 'd', 0};
    ASSERT_EQ(::send(gave_up, frame, sizeof frame, MSG_NOSIGNAL), static_cast<ssize_t>(sizeof frame));
    const Stopwatch watch;
    while (watch.elapsed() < 10.0) {
        {
            std::lock_guard guard(lock);
            if (!held.empty()) break;
        }
        sleep_seconds(0.01);
    }
    ::close(gave_up);
    std::unique_lock guard(lock);
    ASSERT_EQ(held.size(), 1u);
    EXPECT_FALSE(held.front().claim()) << "the command was withdrawn";
    held.clear();
    guard.unlock();

    // A sender that waits: asked, it says go, and hears that the command was carried out.
    std::thread instance([&] {
        for (const Stopwatch wait; wait.elapsed() < 10.0; sleep_seconds(0.01)) {
            std::lock_guard inner(lock);
            if (held.empty()) continue;
            EXPECT_TRUE(held.front().claim());
            EXPECT_TRUE(held.front().confirm());
            return;
        }
    });
    const int waits = instance_channel::connect_to_running_instance(kClassName, peer);
    ASSERT_GE(waits, 0);
    EXPECT_TRUE(instance_channel::send_command_line(waits, u"record"));
    instance.join();
    server.stop();
}

TEST_F(SingleInstanceTest, EmptyCommandLineTravelsAsPlaceholder) {
    std::vector<std::u16string> received;
    instance_channel::InstanceServer server([&](std::u16string text, instance_channel::Receipt receipt) {
        received.push_back(std::move(text));
        receipt.confirm();
    });
    ASSERT_TRUE(server.start(kClassName));
    Program second({});
    EXPECT_EQ(second.wait(), 0);
    server.stop();
    EXPECT_EQ(received, std::vector<std::u16string>{u"%CommandLineEmpty%"});
}

TEST_F(SingleInstanceTest, LeftoversOfACrashedInstanceDoNotBlock) {
    {
        auto crashed = start_first();
        crashed->signal(SIGKILL);
        EXPECT_EQ(crashed->wait(), -1);
    }
    // The socket file and the lock file stay behind; only the kernel's lock went with the process.
    ASSERT_TRUE(std::filesystem::exists(socket_file()));
    ASSERT_TRUE(std::filesystem::exists(os::to_utf8(instance_channel::lock_path(u"Quillon Touch"))));
    std::filesystem::remove(root.path() + "/Temp/quillon-touch.txt");

    auto first = start_first();
    Program second({"record"});
    EXPECT_EQ(second.wait(), 0);
    EXPECT_TRUE(watch.wait_until([&] { return log_has(u"on_other_instance_started:record\n"); }));
    first->signal(SIGINT);
    EXPECT_EQ(first->wait(), 0);
}

// The receiving side inside one process: arrival order, the placeholder, and the listener.
TEST(CommandQueueTest, DeliversEachTextToTheListenerInArrivalOrder) {
    TempRoot root;
    struct Recorder final : ApplicationListener {
        std::vector<std::u16string> texts;
        void on_command(const std::u16string& text) override { texts.push_back(text); }
    } listener;
    auto owned_loop = std::make_unique<PlainEventLoop>();
    PlainEventLoop& loop = *owned_loop;
    GameBase host(u"Quillon Touch", std::move(owned_loop));
    EXPECT_EQ(host.window_class_name(), u"GlazerClass_Quillon Touch");
    EXPECT_EQ(host.sip_preference(), 0u);
    ASSERT_TRUE(host.can_be_found());
    host.set_listener(&listener);

    host.receive_command_line(u"first");
    host.receive_command_line(u"%CommandLineEmpty%");
    EXPECT_TRUE(listener.texts.empty());  // delivered by the loop, not inside the receipt
    EXPECT_EQ(host.command_queue().size(), 2u);

    // Through the channel from other threads, one sender after the other.
    std::thread sender([] {
        for (std::u16string_view text : {u"second", u"third"}) {
            long long peer = 0;
            const int socket = instance_channel::connect_to_running_instance(kClassName, peer);
            EXPECT_GE(socket, 0);
            EXPECT_EQ(peer, ::getpid());
            EXPECT_TRUE(instance_channel::send_command_line(socket, text));
        }
    });
    EXPECT_TRUE(loop.run_until([&] { return listener.texts.size() == 4; }));
    sender.join();
    EXPECT_EQ(listener.texts, (std::vector<std::u16string>{u"first", u"", u"second", u"third"}));
    EXPECT_TRUE(host.command_queue().empty());
}

TEST(CommandQueueTest, ReadsTheSipPreference) {
    TempRoot root;
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"SIPPreference", 7));
    GameBase host(u"Quillon Touch", std::make_unique<PlainEventLoop>());
    EXPECT_EQ(host.sip_preference(), 7u);
}

TEST(InstanceChannelTest, RefusesMalformedFrames) {
    TempRoot root;
    std::vector<std::u16string> received;
    instance_channel::InstanceServer server([&](std::u16string text, instance_channel::Receipt receipt) {
        received.push_back(std::move(text));
        receipt.confirm();
    });
    ASSERT_TRUE(server.start(kClassName));
    for (const std::string& frame : {std::string("\x03\x00\x00\x00"
                                                 "abc",
                                                 7),
                                     std::string("\xFF\xFF\xFF\x7F", 4), std::string("\x04\x00", 2)}) {
        long long peer = 0;
        const int socket = instance_channel::connect_to_running_instance(kClassName, peer);
        ASSERT_GE(socket, 0);
        ::send(socket, frame.data(), frame.size(), MSG_NOSIGNAL);
        ::shutdown(socket, SHUT_WR);
        char receipt = 0;
        EXPECT_LE(::recv(socket, &receipt, 1, 0), 0);  // no receipt: the text was not taken
        ::close(socket);
    }
    // The server is still there for a good one.
    long long peer = 0;
    EXPECT_TRUE(
        instance_channel::send_command_line(instance_channel::connect_to_running_instance(kClassName, peer), u"Zoë"));
    server.stop();
    EXPECT_EQ(received, std::vector<std::u16string>{u"Zoë"});
}

}  // namespace

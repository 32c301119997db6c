#include "telephony/call_launch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "os/log.h"
#include "os/registry.h"
#include "os/text.h"
#include "telephony/launch_trigger_runner.h"
#include "telephony/launch_trigger_store.h"
#include "telephony/phone_publisher.h"
#include "telephony/phone_state.h"
#include "telephony/process_launch.h"
#include "telephony/telephony_platform.h"
#include "telephony_test_env.h"
#include "tests/support/scoped_env.h"

using namespace telephony_test;

namespace {

const std::string stub = QUILLON_LAUNCH_STUB;

class CallLaunch : public ::testing::Test {
protected:
    void SetUp() override {
        reset_phone();
        m_env.set("QUILLON_TOUCH_PROGRAM", stub);
        std::remove(launched_path().c_str());
    }
    void TearDown() override { reset_phone(); }

    static std::string launched_path() { return root() + "/launched.txt"; }

    // The stub runs in a process this one did not start: its file is the only sign it ran.
    static std::string wait_for_launch() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            const std::string text = read_file(launched_path());
            if (!text.empty()) return text;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return {};
    }

    test_support::ScopedEnv m_env;
};

// Listens where a running quillon-touch would.
class FakeInstance {
public:
    FakeInstance() {
        const std::string path = os::to_utf8(instance_socket_path());
        ::unlink(path.c_str());
        m_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        m_ok = ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(m_fd, 8) == 0;
    }
    ~FakeInstance() {
        ::close(m_fd);
        ::unlink(os::to_utf8(instance_socket_path()).c_str());
    }
    bool ok() const { return m_ok; }

private:
    int m_fd = -1;
    bool m_ok = false;
};

class RefusingService final : public TelephonyPlatform {
public:
    bool first_line_call(LineCall&) override { return false; }
    bool phone_initialize(uint32_t&, uint32_t&) override { return false; }
    bool phone_set_speaker(uint32_t, bool) override { return false; }
    void phone_shutdown() override {}
    uint32_t register_notification(const LaunchTrigger&) override { return notification_failed; }
    uint32_t stop_notification(std::u16string_view) override { return notification_failed; }
};

}  // namespace

TEST_F(CallLaunch, RegistrationIsStoredAndAnExistingOneCountsAsSuccess) {
    os::reg_write_dword(u"HKEY_CURRENT_USER\\Software\\Korvel", u"Log", 1);
    EXPECT_TRUE(set_call_launch(true));
    EXPECT_TRUE(set_call_launch(true));
    auto entry = launch_trigger_store::find(call_launch_name);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->key, u"HKEY_LOCAL_MACHINE\\System\\State\\Phone");
    EXPECT_EQ(entry->value_name, u"Status");
    EXPECT_EQ(entry->command_line, u"\"" + os::from_utf8(stub) + u"\" call");
    EXPECT_EQ(entry->flags, 1u);
    EXPECT_EQ(entry->comparison, LaunchTriggerComparison::equal);
    EXPECT_EQ(entry->mask, 0x20000000u);
    EXPECT_EQ(entry->target, 0x20000000u);
    EXPECT_EQ(launch_trigger_store::all().size(), 1u);

    EXPECT_TRUE(set_call_launch(false));
    EXPECT_FALSE(launch_trigger_store::find(call_launch_name));
    EXPECT_TRUE(set_call_launch(false));  // gone already: still done

    RefusingService refusing;
    set_telephony_platform(&refusing);
    EXPECT_FALSE(set_call_launch(true));
    EXPECT_TRUE(set_call_launch(false));
    set_telephony_platform(nullptr);

    os::log().flush();
    const std::string bytes = read_file(os::to_utf8(os::log_file_path()));
    os::reg_write_dword(u"HKEY_CURRENT_USER\\Software\\Korvel", u"Log", 0);
    std::u16string log;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        log += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8);
    }
    EXPECT_NE(log.find(u"set_app_notification Quillon Touch.Call \"" + os::from_utf8(stub) +
                       u"\" call\n"
                       u"set_app_notification fun good\nset_app_notification result=0\n"),
              std::u16string::npos);
    EXPECT_NE(log.find(u"set_app_notification result=2147943642\n"), std::u16string::npos);
    EXPECT_NE(log.find(u"stop_app_notification Quillon Touch.Call\nstop_app_notification fun good\n"
                       u"stop_app_notification result=0\n"),
              std::u16string::npos);
}

TEST_F(CallLaunch, FiresOnlyWhenTheCallBecomesConnected) {
    LaunchTrigger entry;
    entry.comparison = LaunchTriggerComparison::equal;
    entry.mask = entry.target = phone_state::status_connected;
    EXPECT_TRUE(entry.fires(status_ringing, phone_state::status_connected));
    EXPECT_FALSE(entry.fires(phone_state::status_connected, phone_state::status_connected | 1));
    EXPECT_FALSE(entry.fires(phone_state::status_connected, 0));
    EXPECT_FALSE(entry.fires(0, status_ringing));
    entry.comparison = LaunchTriggerComparison::any_change;
    EXPECT_TRUE(entry.fires(0, 1));
    EXPECT_FALSE(entry.fires(1, 1));

    EXPECT_EQ(split_command_line(u"\"/opt/my apps/quillon-touch\" call"),
              (std::vector<std::string>{"/opt/my apps/quillon-touch", "call"}));
    EXPECT_TRUE(split_command_line(u"   ").empty());
    EXPECT_EQ(spawn_command_line(u"\"/nonexistent/program\" call"), -1);

    // An instance still starting holds the start-up lock but does not listen yet.
    EXPECT_FALSE(quillon_touch_running());
    const int fd = ::open(os::to_utf8(instance_lock_path()).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    EXPECT_TRUE(quillon_touch_running());
    ::close(fd);
    EXPECT_FALSE(quillon_touch_running());
    {
        FakeInstance instance;
        ASSERT_TRUE(instance.ok());
        EXPECT_TRUE(quillon_touch_running());
    }
    EXPECT_FALSE(quillon_touch_running());
}

TEST_F(CallLaunch, PublisherInThisProcessStartsTheProgramOnAnswer) {
    ASSERT_TRUE(set_call_launch(true));
    PublishedCall call;
    call.number = u"123";
    const PublishResult ringing = publish_incoming(call);
    ASSERT_TRUE(ringing.ok);
    EXPECT_TRUE(ringing.launches.empty());
    const PublishResult answered = publish_answer();
    ASSERT_TRUE(answered.ok);
    ASSERT_EQ(answered.launches.size(), 1u);
    ASSERT_GT(answered.launches[0].pid, 0);
    int status = -1;
    ASSERT_EQ(::waitpid(answered.launches[0].pid, &status, 0), answered.launches[0].pid);
    EXPECT_EQ(read_file(launched_path()), stub + "\ncall\n");
    EXPECT_TRUE(publish_hangup().launches.empty());
}

TEST_F(CallLaunch, QuillonPhoneStartsQuillonTouchOnlyWhenNoneRuns) {
    ASSERT_TRUE(set_call_launch(true));
    std::string output;
    {
        FakeInstance instance;
        ASSERT_TRUE(instance.ok());
        ASSERT_EQ(run_phone({"incoming", "123"}), 0);
        ASSERT_EQ(run_phone({"answer"}, &output), 0);
        EXPECT_NE(output.find("quillon-touch runs, not started"), std::string::npos) << output;
        ASSERT_EQ(run_phone({"hangup"}), 0);
    }
    EXPECT_TRUE(read_file(launched_path()).empty());

    ASSERT_EQ(run_phone({"dial", "456"}), 0);
    ASSERT_EQ(run_phone({"answer"}, &output), 0);
    EXPECT_NE(output.find("started"), std::string::npos) << output;
    EXPECT_EQ(wait_for_launch(), stub + "\ncall\n");
    ASSERT_EQ(run_phone({"hangup"}), 0);

    // Automatic recording off: nothing is started.
    std::remove(launched_path().c_str());
    ASSERT_TRUE(set_call_launch(false));
    ASSERT_EQ(run_phone({"incoming", "789"}), 0);
    ASSERT_EQ(run_phone({"answer"}, &output), 0);
    EXPECT_EQ(output.find("started"), std::string::npos) << output;
    EXPECT_TRUE(read_file(launched_path()).empty());
}

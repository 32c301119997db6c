// The D-Bus helper on a private bus: a bus that does not answer fails within the bound, calls come
// back typed or fail with a reason, names are watched and owned, signals and a closing bus are
// told, and a value of an unexpected shape is read as nothing instead of crashing.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>

#include "os/dbus/bus.h"
#include "os/dbus/gio_link.h"
#include "tests/dbus/bus_environment.h"

namespace {

using namespace bus_test;
using os::dbus::Args;
using os::dbus::Bus;
using os::dbus::BusKind;
using os::dbus::Value;

const std::string g_bus_folder = [] {
    char pattern[] = "/tmp/quillon-bus-XXXXXX";
    const char* folder = ::mkdtemp(pattern);
    return std::string(folder ? folder : "/tmp");
}();
::testing::Environment* const g_bus = ::testing::AddGlobalTestEnvironment(new BusEnvironment(g_bus_folder));

constexpr const char* test_name = "com.korvel.QuillonTest.Helper";
constexpr const char* test_interface = "com.korvel.QuillonTest";

// The callbacks come from the default main context, which the test runs until done() holds.
bool spin_until(const std::function<bool()>& done, double seconds = 20) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done() && std::chrono::steady_clock::now() < end) g_main_context_iteration(nullptr, FALSE);
    return done();
}

// A subscription sends its match rule to the bus without waiting; a call answered by the bus on the
// same connection comes back only after the bus took the rule, so a signal sent then is routed.
void let_the_bus_take_the_match(const Bus& listener) {
    GVariant* reply = g_dbus_connection_call_sync(os::dbus::gio_connection(listener), "org.freedesktop.DBus",
                                                  "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId", nullptr,
                                                  nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    if (reply) g_variant_unref(reply);
}

Bus open_session() {
    std::string why;
    Bus bus = Bus::open(BusKind::session, why);
    EXPECT_TRUE(bus.is_valid()) << why;
    return bus;
}

// An environment variable set for one test and restored after it.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : m_name(name) {
        if (const char* before = std::getenv(name)) m_before = before;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedVariable() { ::setenv(m_name, m_before.c_str(), 1); }

private:
    const char* m_name;
    std::string m_before;
};

TEST(DbusBus, OpensBothBusesAndCallsAreTypedOrFailWithAReason) {
    for (const BusKind kind : {BusKind::session, BusKind::system}) {
        std::string why;
        const Bus bus = Bus::open(kind, why);
        ASSERT_TRUE(bus.is_valid()) << why;
        EXPECT_FALSE(bus.is_closed());

        std::string error;
        const Value id =
            os::dbus::call(bus, {"org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId"},
                           Args(), "(s)", 5000, error);
        ASSERT_TRUE(id.is_valid()) << error;
        EXPECT_EQ(id.type(), "(s)");
        EXPECT_FALSE(id.child(0).string().value_or("").empty());

        // The bus says whether our own name has an owner: the arguments reach it.
        const Value has = os::dbus::call(
            bus, {"org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner"},
            Args().text("org.freedesktop.DBus"), "(b)", 5000, error);
        ASSERT_TRUE(has.is_valid()) << error;
        EXPECT_EQ(has.child(0).boolean(), true);

        // An answer of another type than asked for is a failure, as is a peer that is not there.
        error.clear();
        EXPECT_FALSE(os::dbus::call(bus,
                                    {"org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetId"},
                                    Args(), "(u)", 5000, error)
                         .is_valid());
        EXPECT_FALSE(error.empty());
        error.clear();
        EXPECT_FALSE(os::dbus::call(bus, {"com.korvel.QuillonTest.Nobody", "/", test_interface, "Hello"}, Args(),
                                    nullptr, 5000, error)
                         .is_valid());
        EXPECT_FALSE(error.empty());
        error.clear();
        EXPECT_EQ(os::dbus::call_for_descriptor(bus, {"com.korvel.QuillonTest.Nobody", "/", test_interface, "Take"},
                                                Args(), 5000, error),
                  -1);
        EXPECT_FALSE(error.empty());
    }
    std::string error;
    EXPECT_FALSE(os::dbus::call(Bus(), {"org.freedesktop.DBus", "/", "org.freedesktop.DBus", "GetId"},
                                Args().text("unused"), "(s)", 5000, error)
                     .is_valid());
    EXPECT_EQ(error, "no bus");
}

TEST(DbusBus, ABusThatNeverAnswersFailsWithinTheBound) {
    // A socket that takes the connection into its backlog and never says a word: authenticating
    // would wait for ever without the bound.
    const std::string socket_path = g_bus_folder + "/silent.socket";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket_path.c_str(), sizeof(address.sun_path) - 1);
    ::unlink(socket_path.c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    {
        const ScopedVariable session("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + socket_path);
        std::string why;
        os::dbus::OpenOptions options;
        options.bound_ms = 300;
        const auto start = std::chrono::steady_clock::now();
        const Bus bus = Bus::open(BusKind::session, why, options);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_FALSE(bus.is_valid());
        EXPECT_FALSE(why.empty());
        // Far below GDBus's own 25 s call timeout, which is the only other limit there is.
        EXPECT_LT(seconds, 15.0);
    }
    ::close(listener);
    ::unlink(socket_path.c_str());

    // No bus at all fails at once with a reason; GLib's autolaunch is refused for the session bus.
    {
        const ScopedVariable session("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + g_bus_folder + "/nothing-here");
        std::string why;
        EXPECT_FALSE(Bus::open(BusKind::session, why).is_valid());
        EXPECT_FALSE(why.empty());
    }
    {
        const ScopedVariable session("DBUS_SESSION_BUS_ADDRESS", "autolaunch:");
        std::string why;
        EXPECT_FALSE(Bus::open(BusKind::session, why).is_valid());
        EXPECT_FALSE(why.empty());
    }
}

TEST(DbusBus, NamesAreWatchedAndOwnedWithoutQueueing) {
    Bus watcher = open_session();
    Bus owner = open_session();
    Bus rival = open_session();
    ASSERT_TRUE(watcher.is_valid() && owner.is_valid() && rival.is_valid());

    int appeared = 0;
    int vanished = 0;
    os::dbus::NameWatch watch(
        watcher, test_name, [&] { ++appeared; }, [&] { ++vanished; });
    ASSERT_TRUE(spin_until([&] { return vanished == 1; }));
    EXPECT_EQ(appeared, 0);

    std::string acquired;
    int lost = 0;
    {
        os::dbus::NameOwnership ownership(
            owner, test_name, [&](const std::string& name) { acquired = name; }, [&](const std::string&) { ++lost; });
        ASSERT_TRUE(spin_until([&] { return acquired == test_name && appeared == 1; }));

        // A second asker does not wait behind the owner: it is told at once that it lost.
        bool rival_acquired = false;
        int rival_lost = 0;
        os::dbus::NameOwnership second(
            rival, test_name, [&](const std::string&) { rival_acquired = true; },
            [&](const std::string&) { ++rival_lost; });
        ASSERT_TRUE(spin_until([&] { return rival_lost == 1; }));
        EXPECT_FALSE(rival_acquired);
    }
    // Released with the ownership.
    ASSERT_TRUE(spin_until([&] { return vanished == 2; }));
    EXPECT_EQ(lost, 0);

    // A watch that has ended is told nothing more.
    watch.reset();
    os::dbus::NameOwnership again(
        owner, test_name, [&](const std::string&) { acquired = "again"; }, nullptr);
    ASSERT_TRUE(spin_until([&] { return acquired == "again"; }));
    spin_until([] { return false; }, 0.3);
    EXPECT_EQ(appeared, 1);
}

TEST(DbusBus, SignalsAndTheBusClosingAreTold) {
    Bus listener = open_session();
    Bus sender = open_session();
    ASSERT_TRUE(listener.is_valid() && sender.is_valid());

    std::vector<os::dbus::Signal> heard;
    os::dbus::SignalMatch match;
    match.interface = test_interface;
    match.member = "Ping";
    os::dbus::SignalSubscription subscription(listener, match,
                                              [&](const os::dbus::Signal& signal) { heard.push_back(signal); });
    let_the_bus_take_the_match(listener);
    auto emit = [&](const char* member, const char* text) {
        GError* error = nullptr;
        const gboolean sent =
            g_dbus_connection_emit_signal(os::dbus::gio_connection(sender), nullptr, "/com/korvel/Test", test_interface,
                                          member, g_variant_new("(s)", text), &error);
        if (error) g_error_free(error);
        g_dbus_connection_flush_sync(os::dbus::gio_connection(sender), nullptr, nullptr);
        return sent != FALSE;
    };
    ASSERT_TRUE(emit("Other", "not this one"));
    ASSERT_TRUE(emit("Ping", "hello"));
    ASSERT_TRUE(spin_until([&] { return !heard.empty(); }));
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].path, "/com/korvel/Test");
    EXPECT_EQ(heard[0].interface, test_interface);
    EXPECT_EQ(heard[0].member, "Ping");
    EXPECT_EQ(heard[0].parameters.child(0).string(), "hello");

    // Ended: what comes later is not delivered. A second subscription shows the later signal arrived.
    subscription.reset();
    int later = 0;
    os::dbus::SignalSubscription witness(listener, match, [&](const os::dbus::Signal&) { ++later; });
    let_the_bus_take_the_match(listener);
    ASSERT_TRUE(emit("Ping", "after"));
    ASSERT_TRUE(spin_until([&] { return later == 1; }));
    EXPECT_EQ(heard.size(), 1u);

    // A closing connection is told once; the watch may end itself from the callback.
    int closed = 0;
    os::dbus::CloseWatch close_watch;
    close_watch = os::dbus::CloseWatch(listener, [&](const std::string&) {
        ++closed;
        close_watch.reset();
    });
    g_dbus_connection_close_sync(os::dbus::gio_connection(listener), nullptr, nullptr);
    ASSERT_TRUE(spin_until([&] { return closed == 1; }));
    EXPECT_TRUE(listener.is_closed());
}

TEST(DbusValue, ReadsOnlyWhatIsThereAndOfTheTypeAsked) {
    const Value value = os::dbus::adopt(g_variant_new_parsed(
        "({'State': <int32 4>, 'Name': <<'Zoë'>>, 'Calls': <[objectpath '/c/1', '/c/2']>}, [uint32 1, 2], <true>)"));
    ASSERT_TRUE(value.is_valid());
    EXPECT_TRUE(value.is("(a{sv}aub)") == false);
    EXPECT_TRUE(value.is("(a{sv}auv)"));
    EXPECT_FALSE(value.is("not a type"));
    EXPECT_EQ(value.size(), 3u);

    const Value properties = value.child(0);
    EXPECT_EQ(properties.lookup("State").int32(), 4);
    EXPECT_EQ(properties.lookup("State").uint32(), std::nullopt);
    EXPECT_EQ(properties.lookup("State").string(), std::nullopt);
    EXPECT_FALSE(properties.lookup("State", "s").is_valid());
    EXPECT_EQ(properties.lookup("Name").string(), std::nullopt);  // still in a box
    EXPECT_EQ(properties.lookup("Name").unboxed().string(), "Zoë");
    EXPECT_FALSE(properties.lookup("Missing").is_valid());
    const Value calls = properties.lookup("Calls");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls.child(1).string(), "/c/2");
    EXPECT_FALSE(calls.child(2).is_valid());

    // Not a dictionary, not a container, not there: nothing, and no crash.
    EXPECT_FALSE(value.child(1).lookup("State").is_valid());
    EXPECT_EQ(value.child(1).child(0).uint32(), 1u);
    EXPECT_EQ(value.child(1).child(0).size(), 0u);
    EXPECT_FALSE(value.child(1).child(0).child(0).is_valid());
    EXPECT_EQ(value.child(2).boolean(), std::nullopt);
    EXPECT_EQ(value.child(2).unboxed().boolean(), true);

    const Value none;
    EXPECT_FALSE(none.is_valid());
    EXPECT_EQ(none.type(), "");
    EXPECT_FALSE(none.is("s"));
    EXPECT_EQ(none.size(), 0u);
    EXPECT_FALSE(none.unboxed().is_valid());
    EXPECT_FALSE(none.lookup("x").is_valid());
    EXPECT_EQ(none.int32(), std::nullopt);
    EXPECT_EQ(none.print(), "");

    GVariant* arguments = os::dbus::to_gio(Args().text("sleep").boolean(true).uint32(3).int32(-4));
    const Value sent = os::dbus::adopt(arguments);
    EXPECT_EQ(sent.print(), "('sleep', true, uint32 3, -4)");
    EXPECT_EQ(os::dbus::to_gio(Args()), nullptr);
}

}  // namespace

// Linked into every test program: the machine's D-Bus daemons are never reached from a test or
// from the programs it starts. A test that needs a bus starts its own (private_bus.h), which
// points these variables at itself.
#include <cstdlib>

namespace {

const bool g_no_machine_bus = [] {
    const char* nowhere = "unix:path=/nonexistent/quillon-test-no-bus";
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", nowhere, 1);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", nowhere, 1);
    return true;
}();

}  // namespace

// A second process for the registry tests: writes "Counter" = 1..N under the phone-state key while
// the test process reads and writes the same database. Exits 1 at the first failed write.
#include <cstdlib>

#include "os/registry.h"

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 100;
    for (int i = 1; i <= count; ++i) {
        if (!os::reg_write_dword(u"HKEY_LOCAL_MACHINE\\System\\State\\Phone", u"Counter", static_cast<uint32_t>(i))) {
            return 1;
        }
        if (!os::reg_write_string(u"HKEY_LOCAL_MACHINE\\System\\State\\Phone", u"Caller Name", u"Zoë")) return 1;
    }
    return 0;
}

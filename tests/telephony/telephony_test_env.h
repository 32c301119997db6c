#pragma once
// Shared set-up of the telephony tests: one fresh QUILLON_ROOT per test program (the registry
// database is opened once per process), a phone without a call before every test, a clock the test
// moves, and a way to run the real quillon-phone.
#include <cstdint>
#include <string>
#include <vector>

namespace telephony_test {

// The temporary root of this test program.
const std::string& root();
// No call, speaker off, line record cleared, no launch registration, contacts folder unset.
void reset_phone();

// Runs QUILLON_BIN_DIR/quillon-phone with args and waits; its exit status, stdout in output.
int run_phone(const std::vector<std::string>& args, std::string* output = nullptr);

// Replaces os::tick_count while alive; advance() moves it.
class FakeClock {
public:
    FakeClock();
    ~FakeClock();
    void advance(uint32_t milliseconds);
};

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);

}  // namespace telephony_test

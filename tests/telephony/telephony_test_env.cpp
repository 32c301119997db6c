#include "telephony_test_env.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "os/registry.h"
#include "os/tick.h"
#include "telephony/call_launch.h"
#include "telephony/contacts/contacts_session.h"
#include "telephony/phone_publisher.h"
#include "telephony/phone_state.h"
#include "telephony/simulated_phone.h"
#include "telephony/telephony_platform.h"
#include "tests/support/temp_folder.h"

extern char** environ;

namespace telephony_test {
namespace {

// Runs before main, so nothing can open the registry under another root first; removed when the
// test program ends.
const test_support::TempRoot g_scratch("quillon-telephony");
const std::string g_root = g_scratch.path();
const bool g_no_peer_settings = [] {
    ::unsetenv("QUILLON_CONTACTS");
    ::unsetenv("QUILLON_TOUCH_PROGRAM");
    return true;
}();

uint32_t g_now = 1000;
uint32_t fake_tick() { return g_now; }

}  // namespace

const std::string& root() { return g_root; }

void reset_phone() {
    set_telephony_platform(nullptr);
    (void)publish_hangup();
    (void)publish_speaker(false);
    set_call_launch(false);
    for (std::u16string_view value : {u"Line Info", u"Line Name", u"Call State", u"Media Mode", u"Origin"}) {
        os::reg_delete_value(simulated_phone::line_key, value);
    }
    os::reg_delete_value(simulated_phone::phone_key, u"Phone Devices");
    os::reg_delete_value(simulated_phone::phone_key, u"Bridge");
    os::reg_delete_value(simulated_phone::phone_key, phone_state::bridge_beat);
    os::reg_delete_value(phone_state::phone_key, phone_state::active_call);
    os::reg_write_dword(phone_state::phone_key, phone_state::status, 0);
    ::unsetenv("QUILLON_CONTACTS");
    ::unsetenv("QUILLON_TOUCH_PROGRAM");
    forget_contacts_store();
}

int run_phone(const std::vector<std::string>& args, std::string* output) {
    const std::string program = std::string(QUILLON_BIN_DIR) + "/quillon-phone";
    const std::string out_path = g_root + "/phone-output.txt";
    std::vector<std::string> words{program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    if (output) *output = read_file(out_path);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

FakeClock::FakeClock() { os::set_tick_source(&fake_tick); }
FakeClock::~FakeClock() { os::set_tick_source(nullptr); }
void FakeClock::advance(uint32_t milliseconds) { g_now += milliseconds; }

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace telephony_test

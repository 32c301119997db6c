#include "telephony/process_launch.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "os/path.h"
#include "os/text.h"

extern char** environ;

std::vector<std::string> split_command_line(std::u16string_view command_line) {
    std::vector<std::string> words;
    std::u16string word;
    bool in_word = false;
    bool quoted = false;
    for (char16_t c : command_line) {
        if (c == u'"') {
            quoted = !quoted;
            in_word = true;
        } else if (c == u' ' && !quoted) {
            if (in_word) words.push_back(os::to_utf8(word));
            word.clear();
            in_word = false;
        } else {
            word += c;
            in_word = true;
        }
    }
    if (in_word) words.push_back(os::to_utf8(word));
    return words;
}

pid_t spawn_command_line(std::u16string_view command_line) { return spawn_program(split_command_line(command_line)); }

pid_t spawn_program(std::vector<std::string> words) {
    if (words.empty() || words.front().empty()) return -1;
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    // The started program outlives its starter and must not hold the starter's input and output:
    // a caller reading the publisher's output to its end would otherwise wait for the whole run of
    // the program (quillon-touch started for a call lasts as long as the call).
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return -1;
    bool ok = true;
    for (int fd : {0, 1, 2}) {
        ok = ok && posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0) == 0;
    }
    pid_t pid = -1;
    if (!ok || posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The names the application's single-instance channel uses: the application name for the start-up
// lock, the main window's class name for the command socket.
std::u16string instance_lock_path() { return os::runtime_folder() + u"/Quillon Touch.lock"; }
std::u16string instance_socket_path() { return os::runtime_folder() + u"/GlazerClass_Quillon Touch.socket"; }

namespace {

bool socket_accepts(const std::string& path) {
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

// Only looks: the file is never created, and a lock taken for the test is released at once.
bool lock_held(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

}  // namespace

// The running instance reads a command line from each connection; one closed without a word is
// dropped.
bool quillon_touch_running() {
    return socket_accepts(os::to_utf8(instance_socket_path())) || lock_held(os::to_utf8(instance_lock_path()));
}

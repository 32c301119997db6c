#pragma once
// Starting quillon-touch as a real process and awaiting what it writes, without sleeping: the
// waits are woken by inotify events in the test's QUILLON_ROOT.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

struct RunResult {
    int status = -1;
    // Standard output, and standard error too when it was asked for.
    std::string output;
};

// Runs a program from PATH to its end with nothing on its standard input.
inline RunResult run(const std::vector<std::string>& words, bool with_errors = false) {
    RunResult result;
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    if (with_errors) {
        posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv;
    for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned == 0) {
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(out[0], buffer, sizeof buffer)) > 0) result.output.append(buffer, static_cast<size_t>(n));
        int status = 0;
        ::waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ::close(out[0]);
    return result;
}

class Program {
public:
    explicit Program(const std::vector<std::string>& words) {
        const std::string path = std::string(QUILLON_BIN_DIR) + "/quillon-touch";
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(path.c_str()));
        for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(nullptr);
        if (::posix_spawn(&m_pid, path.c_str(), nullptr, nullptr, argv.data(), environ) != 0) m_pid = -1;
    }
    ~Program() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool started() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    // The process was awaited elsewhere: nothing is left to kill.
    void forget() { m_pid = -1; }
    void signal(int number) { ::kill(m_pid, number); }
    // The exit status, or -1 when it ended otherwise (killed by a signal).
    int wait() {
        int status = 0;
        if (m_pid <= 0 || ::waitpid(m_pid, &status, 0) != m_pid) return -1;
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
};

// Watches a folder and the folders created in it.
class FolderWatch {
public:
    explicit FolderWatch(const std::string& folder) : m_fd(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK)) {
        add(folder);
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.is_directory()) add(entry.path().string());
        }
    }
    ~FolderWatch() { ::close(m_fd); }

    // True once condition() holds; false after timeout_ms.
    bool wait_until(const std::function<bool()>& condition, int timeout_ms = 20000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (!condition()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd fd{m_fd, POLLIN, 0};
            ::poll(&fd, 1, static_cast<int>(left.count()));
            drain();
        }
        return true;
    }

private:
    void add(const std::string& folder) {
        const int wd = ::inotify_add_watch(m_fd, folder.c_str(), IN_CREATE | IN_MODIFY | IN_MOVED_TO | IN_ATTRIB);
        if (wd >= 0 && static_cast<size_t>(wd) >= m_folders.size()) m_folders.resize(wd + 1);
        if (wd >= 0) m_folders[wd] = folder;
    }
    void drain() {
        alignas(inotify_event) char buffer[4096];
        ssize_t n;
        while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0) {
            for (char* p = buffer; p < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(p);
                if ((event->mask & IN_CREATE) && (event->mask & IN_ISDIR) && event->len > 0 &&
                    static_cast<size_t>(event->wd) < m_folders.size()) {
                    add(m_folders[event->wd] + "/" + event->name);
                }
                p += sizeof(inotify_event) + event->len;
            }
        }
    }

    int m_fd;
    std::vector<std::string> m_folders;
};

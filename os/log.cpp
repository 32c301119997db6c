#include "os/log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <utility>

#include "os/path.h"
#include "os/registry.h"
#include "os/registry_database.h"
#include "os/text.h"

namespace os {

void LogSink::write_integer(long long value) { write(to_text(value)); }
void LogSink::write_unsigned(unsigned long long value) { write(to_text_unsigned(value)); }
void LogSink::write_bool(bool value) { write(value ? u"1" : u"0"); }

namespace {

class DiscardingSink final : public LogSink {
public:
    void write(std::u16string_view) override {}
    void flush() override {}
    bool is_file() const override { return false; }
};

// Holds a lock around each write: lines from several threads never tear inside one write.
class LockedFileSink final : public LogSink {
public:
    explicit LockedFileSink(const std::string& path) : m_path(path) {
        // The log names callers and their numbers: it is the user's alone, whatever it was before.
        m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (m_fd >= 0) (void)::fchmod(m_fd, 0600);
        // The file is ours alone while we write it, as an unshared open would make it: a second
        // instance started only to hand over its command line must not empty the running
        // instance's log, so it gets a sink that writes nothing instead.
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
        if (m_fd >= 0 && ::ftruncate(m_fd, 0) == 0) {
            static const unsigned char bom[2] = {0xFF, 0xFE};
            (void)!::write(m_fd, bom, sizeof bom);
        }
    }
    ~LockedFileSink() override {
        if (m_fd >= 0) ::close(m_fd);
    }
    void write(std::u16string_view text) override {
        if (m_fd < 0 || text.empty()) return;
        std::string bytes;
        bytes.resize(text.size() * 2);
        for (size_t i = 0; i < text.size(); ++i) {
            bytes[2 * i] = static_cast<char>(text[i] & 0xFF);
            bytes[2 * i + 1] = static_cast<char>(text[i] >> 8);
        }
        std::lock_guard lock(m_mutex);
        (void)!::write(m_fd, bytes.data(), bytes.size());
    }
    // The sync runs outside the write lock: a slow disk must not hold up the writers of other
    // threads, audio threads among them.
    void flush() override {
        if (m_fd >= 0) ::fdatasync(m_fd);
    }
    bool is_file() const override { return true; }
    const std::string& path() const { return m_path; }

private:
    const std::string m_path;
    std::mutex m_mutex;
    int m_fd = -1;
};

// The folders above the log's own as any folder of the user's; the log's own folder is private.
void make_folders(const std::string& folder) {
    for (size_t i = 1; i <= folder.size(); ++i) {
        if (i == folder.size() || folder[i] == '/')
            ::mkdir(folder.substr(0, i).c_str(), i == folder.size() ? 0700 : 0755);
    }
    struct stat info {};
    if (::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid() &&
        (info.st_mode & 077) != 0) {
        (void)::chmod(folder.c_str(), info.st_mode & 07700);
    }
}

// How long a read of the "Log" value stays current.
constexpr std::chrono::milliseconds kSwitchLifetime{500};

// The sink in use. Audio threads take g_sink_mutex only to copy the pointer: nothing slow (no
// file opening, no registry read) ever runs while it is held.
std::mutex g_sink_mutex;
std::shared_ptr<LogSink> g_sink;

// Serialises the reads of the switch and the replacement of the sink; audio threads never take it.
std::mutex g_refresh_mutex;
LockedFileSink* g_file_sink = nullptr;  // g_sink when it writes to a file; under g_refresh_mutex
bool g_checked = false;
std::chrono::steady_clock::time_point g_checked_at;
uint64_t g_checked_generation = 0;
std::string g_checked_path;

thread_local bool t_audio_thread = false;
// The registry logs what happens to a damaged database, which comes back here mid-read.
thread_local bool t_refreshing = false;

std::shared_ptr<LogSink> current_sink() {
    std::lock_guard lock(g_sink_mutex);
    return g_sink;
}

void install(std::shared_ptr<LogSink> sink) {
    std::shared_ptr<LogSink> old;
    {
        std::lock_guard lock(g_sink_mutex);
        old = std::exchange(g_sink, std::move(sink));
    }
    // The old sink (a file to close) goes away outside the lock, or later with its last stream.
}

// force: read the value whatever the age of the last read.
void refresh(bool force) {
    if (t_audio_thread || t_refreshing) return;
    std::lock_guard lock(g_refresh_mutex);
    t_refreshing = true;
    const auto now = std::chrono::steady_clock::now();
    // The file follows the user data folder, so a test that moves QUILLON_ROOT gets its own log.
    const std::string path = to_utf8(log_file_path());
    const uint64_t generation = registry_database::write_generation();
    const bool current = g_checked && !force && now - g_checked_at < kSwitchLifetime &&
                         generation == g_checked_generation && path == g_checked_path;
    if (!current) {
        uint32_t value = 0;
        // A caller that logs why a registry operation failed must still find that reason after.
        std::u16string reason = registry_database::last_error();
        const bool want_file = reg_read_dword(u"HKEY_CURRENT_USER\\Software\\Korvel", u"Log", value) && value != 0;
        registry_database::set_last_error(std::move(reason));
        g_checked = true;
        g_checked_at = now;
        g_checked_generation = generation;
        g_checked_path = path;
        const bool is_file = g_file_sink != nullptr;
        const bool moved = want_file && g_file_sink && g_file_sink->path() != path;
        if (want_file != is_file || moved || !current_sink()) {
            if (want_file) {
                make_folders(path.substr(0, path.rfind('/')));
                auto sink = std::make_shared<LockedFileSink>(path);
                g_file_sink = sink.get();
                install(std::move(sink));
            } else {
                g_file_sink = nullptr;
                install(std::make_shared<DiscardingSink>());
            }
        }
    }
    t_refreshing = false;
}

}  // namespace

std::u16string log_file_path() { return user_data_folder() + u"/Temp/" + expand_path(u"%app_name%.txt"); }

void mark_audio_thread() { t_audio_thread = true; }

void refresh_log_switch() { refresh(false); }

LogStream log() {
    refresh(false);
    std::shared_ptr<LogSink> sink = current_sink();
    if (!sink) {
        // An audio thread logging before anyone read the switch: nothing to say yet.
        static const std::shared_ptr<LogSink> discarding = std::make_shared<DiscardingSink>();
        sink = discarding;
    }
    return LogStream(std::move(sink));
}

void fatal_error(std::u16string_view location, std::u16string_view message) {
    {
        LogStream stream = log();
        stream << u"Gluck: " << message << u" @ " << location << u"\n";
        stream.flush();
    }
    const std::string line = "Gluck: " + to_utf8(message) + " @ " + to_utf8(location) + "\n";
    (void)!::write(STDERR_FILENO, line.data(), line.size());
    // A broken process must not report success to its parent, so the status is non-zero.
    ::_exit(3);
}

}  // namespace os

#pragma once
// The single-instance rule between processes. The start-up mutex is a lock file held with flock in
// the runtime folder (the kernel lets go of it when its holder dies, so a crashed instance never
// blocks the next start). The running instance listens on a Unix-domain socket beside it; a second
// start connects and sends its command line.
//
// On the wire: the byte count as 4 bytes little-endian, then the UTF-16LE characters without a
// terminator; the receiver answers one byte once the text is queued for the GUI thread, so the
// sender exits only after its command line is safe.
#include <functional>
#include <string>
#include <string_view>

#include "app/core/thread.h"

namespace instance_channel {

// The longest command line a peer may send, in bytes (32,767 characters).
constexpr size_t max_bytes = 65534;

std::u16string lock_path(std::u16string_view app_name);
std::u16string socket_path(std::u16string_view window_class_name);

// The start-up mutex. Opening fails only when the runtime folder cannot hold the file.
class StartupMutex {
public:
    StartupMutex() = default;
    StartupMutex(const StartupMutex&) = delete;
    StartupMutex& operator=(const StartupMutex&) = delete;
    ~StartupMutex() { release(); }

    bool open(std::u16string_view app_name);
    // Blocks without time limit until this process owns the mutex.
    bool wait();
    void release();
    bool is_open() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// Connects to the running instance. Returns the connected socket, or -1 when no instance listens;
// a socket file that nobody listens on is left by a dead instance and is removed.
int connect_to_running_instance(std::u16string_view window_class_name, long long& peer_id);
// Sends the command line and waits for the receipt; closes the socket.
bool send_command_line(int socket, std::u16string_view text);

// The running instance's end: a thread accepting one peer at a time. Each command line is given to
// the callback on that thread, in arrival order.
class InstanceServer final : private Thread {
public:
    using Callback = std::function<void(std::u16string)>;

    explicit InstanceServer(Callback callback) : m_callback(std::move(callback)) {}
    ~InstanceServer() override;

    // Binds the socket and starts listening; false (with errno) when it cannot.
    bool start(std::u16string_view window_class_name);
    void stop();

private:
    void run() override;
    void serve(int peer);

    Callback m_callback;
    std::string m_path;
    int m_listener = -1;
    int m_stop_pipe[2] = {-1, -1};
    unsigned long m_inode = 0;  // of the socket file we made, so we never remove another's
};

}  // namespace instance_channel

#pragma once
// The single-instance rule between processes. The start-up mutex is a lock file held with flock in
// the runtime folder (the kernel lets go of it when its holder dies, so a crashed instance never
// blocks the next start). A second lock file marks the running instance for its whole life, so a
// start that cannot reach it knows to try again rather than start a second instance beside it.
// The running instance listens on a Unix-domain socket beside them; a second start connects and
// sends its command line.
//
// On the wire: the byte count as 4 bytes little-endian, then the UTF-16LE characters without a
// terminator; the receiver answers one byte once the command has been carried out on the GUI
// thread, so the sender exits only after its command line has been acted on. A connection closed
// without that byte means the command was not taken (the instance is quitting, or the text was
// malformed).
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "os/thread.h"

namespace instance_channel {

// The longest command line a peer may send, in bytes (32,767 characters).
constexpr size_t max_bytes = 65534;

std::u16string lock_path(std::u16string_view app_name);
std::u16string running_path(std::u16string_view app_name);
std::u16string socket_path(std::u16string_view window_class_name);

enum class WaitResult { Owned, Interrupted, Failed };

// The start-up mutex. Opening fails only when the runtime folder cannot hold the file.
class StartupMutex {
public:
    StartupMutex() = default;
    StartupMutex(const StartupMutex&) = delete;
    StartupMutex& operator=(const StartupMutex&) = delete;
    ~StartupMutex() { release(); }

    bool open(std::u16string_view app_name);
    // Waits without time limit until this process owns the mutex; a descriptor that becomes
    // readable meanwhile (a signalfd) ends the wait with Interrupted.
    WaitResult wait(int interrupt_fd = -1);
    void release();
    bool is_open() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// The mark of the running instance, taken by the start that becomes it and held until it exits.
class RunningMark {
public:
    RunningMark() = default;
    RunningMark(const RunningMark&) = delete;
    RunningMark& operator=(const RunningMark&) = delete;
    ~RunningMark() { release(); }

    // False when another process holds the mark. True, holding nothing, when the file cannot be
    // opened at all.
    bool try_take(std::u16string_view app_name);
    void release();
    bool is_held() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// Connects to the running instance. Returns the connected socket, or -1 when no instance listens;
// a socket file that nobody listens on is left by a dead instance and is removed.
int connect_to_running_instance(std::u16string_view window_class_name, long long& peer_id);
// Sends the command line and waits for the receipt; closes the socket.
bool send_command_line(int socket, std::u16string_view text);

// The receiving end of one command line: confirm() answers the sender once the command has been
// acted on; dropping it unconfirmed closes the connection without the byte.
class Receipt {
public:
    Receipt() = default;
    explicit Receipt(int socket) : m_socket(socket) {}
    Receipt(Receipt&& other) noexcept : m_socket(other.m_socket), m_claimed(other.m_claimed) { other.m_socket = -1; }
    Receipt& operator=(Receipt&& other) noexcept;
    ~Receipt() { drop(); }

    bool is_pending() const { return m_socket >= 0; }
    // Asks the sender whether the command still stands, right before acting on it. False when the
    // sender gave up meanwhile (it closed the connection): the command must then not run. True
    // without a sender. Waits at most two seconds for the answer.
    bool claim();
    // Any thread. Claims the command first when that was not done.
    bool confirm();
    void drop();

private:
    int m_socket = -1;
    bool m_claimed = false;
};

// The running instance's end: a thread serving every connected peer at once, each with a short
// deadline to send its text, so peers that connect and stall hold nobody up. Each complete command
// line is given to the callback on that thread, in arrival order, with its receipt.
class InstanceServer final : private Thread {
public:
    using Callback = std::function<void(std::u16string, Receipt)>;

    explicit InstanceServer(Callback callback) : m_callback(std::move(callback)) {}
    ~InstanceServer() override;

    // Binds the socket and starts listening; false (with errno) when it cannot.
    bool start(std::u16string_view window_class_name);
    // Stops accepting and removes the socket file; peers still sending are dropped. Any thread
    // but the callback's.
    void stop();

private:
    struct Peer {
        int socket;
        long long deadline_ms;
        std::string bytes;
    };

    void run() override;
    void accept_peers(std::vector<Peer>& peers);
    // False when the peer is done with (served or dropped) and leaves the list.
    bool read_from(Peer& peer);

    Callback m_callback;
    std::mutex m_stop_lock;
    std::string m_path;
    int m_listener = -1;
    int m_stop_pipe[2] = {-1, -1};
    unsigned long m_inode = 0;  // of the socket file we made, so we never remove another's
};

}  // namespace instance_channel

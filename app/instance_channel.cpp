#include "app/instance_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "os/path.h"
#include "os/text.h"

namespace instance_channel {

namespace {

// A peer has this long from connecting to sending its whole text; peers are served side by side,
// so one that stalls costs only its own slot.
constexpr long long peer_deadline_ms = 2000;
// More peers at once than this are turned away (the sender tries again).
constexpr size_t max_peers = 64;
// The sender's limits: to write its text, and to hear that the command was carried out (which
// waits for the GUI thread to come round to it).
constexpr int send_timeout_seconds = 5;
constexpr int receipt_timeout_seconds = 30;
// Once the sender has said "go" it waits this long for the command to be carried out.
constexpr int carried_out_timeout_seconds = 120;
// How long the running instance waits for the sender's "go" before it drops the command.
constexpr int go_timeout_ms = 2000;
// The bytes of the hand-over after the text: the instance asks before it acts, the sender says go
// (or has gone, which withdraws the command), the instance confirms when it is done.
constexpr char about_to_act = 2;
constexpr char go_ahead = 3;
constexpr char carried_out = 1;
// How often a wait for the start-up mutex looks at it again.
constexpr int lock_poll_ms = 25;

long long now_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string runtime_folder_utf8() {
    const std::string folder = os::to_utf8(os::runtime_folder());
    for (size_t i = 1; i <= folder.size(); ++i) {
        if (i == folder.size() || folder[i] == '/') ::mkdir(folder.substr(0, i).c_str(), 0700);
    }
    return folder;
}

bool make_address(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

void set_timeout(int socket, int option, int seconds) {
    timeval timeout{seconds, 0};
    ::setsockopt(socket, SOL_SOCKET, option, &timeout, sizeof timeout);
}

// Only our own user may hand us commands, and we hand ours only to our own user's instance.
bool peer_is_us(int socket, long long* pid = nullptr) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return false;
    if (pid) *pid = credentials.pid;
    return credentials.uid == ::getuid();
}

bool write_all(int socket, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::send(socket, bytes, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool read_all(int socket, void* data, size_t size) {
    char* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t n = ::recv(socket, bytes, size, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Removes a socket file that nobody accepts on. Another live instance's socket is left alone.
bool remove_if_stale(const std::string& path) {
    sockaddr_un address;
    if (!make_address(path, address)) return false;
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0) return false;
    const bool refused =
        ::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 && errno == ECONNREFUSED;
    ::close(probe);
    return refused && ::unlink(path.c_str()) == 0;
}

}  // namespace

std::u16string lock_path(std::u16string_view app_name) {
    return os::runtime_folder() + u"/" + std::u16string(app_name) + u".lock";
}

std::u16string running_path(std::u16string_view app_name) {
    return os::runtime_folder() + u"/" + std::u16string(app_name) + u".running";
}

std::u16string socket_path(std::u16string_view window_class_name) {
    return os::runtime_folder() + u"/" + std::u16string(window_class_name) + u".socket";
}

bool StartupMutex::open(std::u16string_view app_name) {
    release();
    runtime_folder_utf8();
    m_fd = ::open(os::to_utf8(lock_path(app_name)).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    return m_fd >= 0;
}

WaitResult StartupMutex::wait(int interrupt_fd) {
    if (m_fd < 0) return WaitResult::Failed;
    for (;;) {
        if (::flock(m_fd, interrupt_fd >= 0 ? LOCK_EX | LOCK_NB : LOCK_EX) == 0) return WaitResult::Owned;
        if (errno != EWOULDBLOCK && errno != EINTR) return WaitResult::Failed;
        if (interrupt_fd < 0) continue;
        // flock has no way to wait for a descriptor as well; looking again every few
        // milliseconds lets a quit signal end the wait at once.
        pollfd fd{interrupt_fd, POLLIN, 0};
        if (::poll(&fd, 1, lock_poll_ms) > 0) return WaitResult::Interrupted;
    }
}

void StartupMutex::release() {
    if (m_fd < 0) return;
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
    m_fd = -1;
}

bool RunningMark::try_take(std::u16string_view app_name) {
    if (m_fd >= 0) return true;
    runtime_folder_utf8();
    const int fd = ::open(os::to_utf8(running_path(app_name)).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // Without a file for the mark there is nothing to wait for: start as the first instance, as
    // when the start-up mutex cannot be made.
    if (fd < 0) return true;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void RunningMark::release() {
    if (m_fd < 0) return;
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
    m_fd = -1;
}

int connect_to_running_instance(std::u16string_view window_class_name, long long& peer_id) {
    runtime_folder_utf8();
    const std::string path = os::to_utf8(socket_path(window_class_name));
    sockaddr_un address;
    if (!make_address(path, address)) return -1;
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0) return -1;
    if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        // Refused: the file outlived its instance. We hold the start-up mutex, so no instance
        // can be between binding and listening right now.
        if (errno == ECONNREFUSED) ::unlink(path.c_str());
        ::close(socket);
        return -1;
    }
    if (!peer_is_us(socket, &peer_id)) {
        ::close(socket);
        return -1;
    }
    return socket;
}

bool send_command_line(int socket, std::u16string_view text) {
    set_timeout(socket, SO_SNDTIMEO, send_timeout_seconds);
    set_timeout(socket, SO_RCVTIMEO, receipt_timeout_seconds);
    std::string frame(4 + 2 * text.size(), '\0');
    const uint32_t count = static_cast<uint32_t>(2 * text.size());
    for (int i = 0; i < 4; ++i) frame[i] = static_cast<char>(count >> (8 * i));
    for (size_t i = 0; i < text.size(); ++i) {
        frame[4 + 2 * i] = static_cast<char>(text[i] & 0xFF);
        frame[4 + 2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    // A sender that gives up closes the connection, and with it the command: the running instance
    // acts on it only after this side said go, so it is carried out exactly once or not at all.
    char asked = 0;
    bool sent = text.size() * 2 <= max_bytes && write_all(socket, frame.data(), frame.size()) &&
                read_all(socket, &asked, 1) && asked == about_to_act;
    if (sent) {
        set_timeout(socket, SO_RCVTIMEO, carried_out_timeout_seconds);
        char receipt = 0;
        sent = write_all(socket, &go_ahead, 1) && read_all(socket, &receipt, 1) && receipt == carried_out;
    }
    ::close(socket);
    return sent;
}

Receipt& Receipt::operator=(Receipt&& other) noexcept {
    if (this != &other) {
        drop();
        m_socket = other.m_socket;
        m_claimed = other.m_claimed;
        other.m_socket = -1;
    }
    return *this;
}

bool Receipt::claim() {
    if (m_socket < 0) return true;
    pollfd ready{m_socket, POLLIN, 0};
    char answer = 0;
    const bool claimed = write_all(m_socket, &about_to_act, 1) && ::poll(&ready, 1, go_timeout_ms) > 0 &&
                         ::recv(m_socket, &answer, 1, 0) == 1 && answer == go_ahead;
    if (!claimed) drop();
    m_claimed = claimed;
    return claimed;
}

bool Receipt::confirm() {
    if (m_socket < 0 || (!m_claimed && !claim())) return false;
    const bool sent = write_all(m_socket, &carried_out, 1);
    drop();
    return sent;
}

void Receipt::drop() {
    if (m_socket >= 0) ::close(m_socket);
    m_socket = -1;
}

InstanceServer::~InstanceServer() { stop(); }

bool InstanceServer::start(std::u16string_view window_class_name) {
    runtime_folder_utf8();
    m_path = os::to_utf8(socket_path(window_class_name));
    sockaddr_un address;
    if (!make_address(m_path, address)) {
        errno = ENAMETOOLONG;
        return false;
    }
    m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_listener < 0) return false;
    // The mask keeps the socket private from its creation on, not only after a chmod.
    const mode_t mask = ::umask(0177);
    int bound = ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (bound != 0 && errno == EADDRINUSE && remove_if_stale(m_path)) {
        bound = ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    ::umask(mask);
    struct stat info {};
    if (bound != 0 || ::listen(m_listener, 16) != 0 || ::stat(m_path.c_str(), &info) != 0 ||
        ::pipe2(m_stop_pipe, O_CLOEXEC) != 0) {
        const int error = errno;
        stop();
        errno = error;
        return false;
    }
    m_inode = info.st_ino;
    if (!Thread::start()) {
        stop();
        return false;
    }
    return true;
}

void InstanceServer::stop() {
    const std::lock_guard guard(m_stop_lock);
    if (m_stop_pipe[1] >= 0) {
        const char wake = 1;
        (void)!::write(m_stop_pipe[1], &wake, 1);
    }
    join();
    if (m_listener >= 0) {
        struct stat info {};
        if (m_inode != 0 && ::stat(m_path.c_str(), &info) == 0 && info.st_ino == m_inode) ::unlink(m_path.c_str());
        ::close(m_listener);
        m_listener = -1;
    }
    m_inode = 0;
    for (int& fd : m_stop_pipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

void InstanceServer::run() {
    std::vector<Peer> peers;
    std::vector<pollfd> fds;
    for (;;) {
        const long long now = now_ms();
        // Peers past their deadline are dropped without a receipt.
        peers.erase(std::remove_if(peers.begin(), peers.end(),
                                   [&](const Peer& peer) {
                                       if (peer.deadline_ms > now) return false;
                                       ::close(peer.socket);
                                       return true;
                                   }),
                    peers.end());
        long long wait_ms = -1;
        for (const Peer& peer : peers)
            wait_ms = wait_ms < 0 ? peer.deadline_ms - now : std::min(wait_ms, peer.deadline_ms - now);

        fds.assign({{m_listener, POLLIN, 0}, {m_stop_pipe[0], POLLIN, 0}});
        for (const Peer& peer : peers) fds.push_back({peer.socket, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), static_cast<int>(wait_ms)) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents) break;
        // Read before accepting, while the indexes still match.
        size_t kept = 0;
        for (size_t i = 0; i < peers.size(); ++i) {
            if (fds[2 + i].revents == 0 || read_from(peers[i])) peers[kept++] = std::move(peers[i]);
        }
        peers.resize(kept);
        if (fds[0].revents & POLLIN) accept_peers(peers);
    }
    for (const Peer& peer : peers) ::close(peer.socket);
}

void InstanceServer::accept_peers(std::vector<Peer>& peers) {
    for (;;) {
        const int peer = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (peer < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;
        }
        if (!peer_is_us(peer) || peers.size() >= max_peers) {
            ::close(peer);
            continue;
        }
        peers.push_back({peer, now_ms() + peer_deadline_ms, {}});
    }
}

bool InstanceServer::read_from(Peer& peer) {
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::recv(peer.socket, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        if (n <= 0) break;  // gone before sending its whole text
        peer.bytes.append(buffer, static_cast<size_t>(n));
        if (peer.bytes.size() < 4) continue;
        const auto* header = reinterpret_cast<const unsigned char*>(peer.bytes.data());
        const uint32_t count = header[0] | header[1] << 8 | header[2] << 16 | static_cast<uint32_t>(header[3]) << 24;
        if (count % 2 != 0 || count > max_bytes || peer.bytes.size() > 4 + size_t{count}) break;
        if (peer.bytes.size() < 4 + size_t{count}) continue;
        std::u16string text(count / 2, u'\0');
        for (size_t i = 0; i < text.size(); ++i) {
            text[i] = static_cast<char16_t>(static_cast<unsigned char>(peer.bytes[4 + 2 * i]) |
                                            static_cast<unsigned char>(peer.bytes[4 + 2 * i + 1]) << 8);
        }
        m_callback(std::move(text), Receipt(peer.socket));
        return false;
    }
    ::close(peer.socket);
    return false;
}

}  // namespace instance_channel

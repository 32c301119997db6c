#pragma once
// The platform's wave input and output: the contract of the classic wave services that the
// recorder and the player are written against.
//
// - wave_in_open / wave_out_open open the default device for a PCM format and post the open
//   notification (MM_WIM_OPEN / MM_WOM_OPEN) to the caller's MessageQueue, which the worker thread
//   reads. A non-zero result means no device; the handle stays null.
// - Buffers travel in WaveHeaders: prepare, add (input) or write (output), then the device sets
//   the done bit when it has finished with the buffer; for input, bytes_recorded holds the captured
//   length. Output also posts MM_WOM_DONE with the header, and MM_WOM_CLOSE on close.
// - stop / reset / close, pause / restart, and the output volume behave as their names say:
//   input stop returns the partly filled buffer, reset returns every queued buffer.
//
// Two backends sit behind this: SDL2 audio devices (the real microphone and speaker) and files,
// chosen when a device is opened. QUILLON_AUDIO_IN=FILE.wav makes that file the microphone (any PCM
// WAV, converted to the asked format; silence once it runs out), QUILLON_AUDIO_OUT=FILE.wav makes
// that file the speaker (a PCM WAV of what was played, complete after close). Both are paced in
// real time unless QUILLON_AUDIO_PACE=0.
//
// Threads: the device's own thread (SDL's audio thread or the file backend's) fills and completes
// headers; the owner calls the operations from its worker thread. Operations are thread-safe.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace os {

// Results, with the numbers of the classic wave services so log lines read the same.
constexpr uint32_t MMSYSERR_NOERROR = 0;
constexpr uint32_t MMSYSERR_ERROR = 1;
constexpr uint32_t MMSYSERR_BADDEVICEID = 2;
constexpr uint32_t MMSYSERR_INVALHANDLE = 5;
constexpr uint32_t MMSYSERR_NODRIVER = 6;
constexpr uint32_t MMSYSERR_INVALPARAM = 11;
constexpr uint32_t WAVERR_BADFORMAT = 32;
constexpr uint32_t WAVERR_STILLPLAYING = 33;
constexpr uint32_t WAVERR_UNPREPARED = 34;

// Thread messages.
constexpr uint32_t WM_QUIT = 0x0012;
constexpr uint32_t MM_WOM_OPEN = 955;
constexpr uint32_t MM_WOM_CLOSE = 956;
constexpr uint32_t MM_WOM_DONE = 957;
constexpr uint32_t MM_WIM_OPEN = 958;
constexpr uint32_t WM_USER = 1024;

// Header flags.
constexpr uint32_t WHDR_DONE = 0x01;
constexpr uint32_t WHDR_PREPARED = 0x02;
constexpr uint32_t WHDR_INQUEUE = 0x10;

constexpr int WAVE_MAPPER = -1;
// An input device of our own: the default microphone mixed with the monitor of the default output,
// so a call recording on a phone holds the far side too. Without a sound server that can give the
// monitor it is the default microphone alone (logged); with QUILLON_AUDIO_IN the file is both.
constexpr int WAVE_CALL_BOTH_SIDES = -2;
// The same, but never the microphone alone: for a call capture taken up again after its sound
// server went away, which must wait for the server rather than go on with half the call.
constexpr int WAVE_CALL_BOTH_SIDES_ONLY = -3;

struct WaveFormat {
    int channels = 0;
    int bits = 0;
    int rate = 0;
    int block_align() const { return channels * ((bits + 7) / 8); }
    int byte_rate() const { return rate * block_align(); }
};

struct WaveHeader {
    uint8_t* data = nullptr;
    uint32_t buffer_length = 0;
    // Written by the device before it sets WHDR_DONE (release); read after seeing the bit (acquire).
    uint32_t bytes_recorded = 0;
    uintptr_t user = 0;
    std::atomic<uint32_t> flags{0};
};

struct WaveMessage {
    uint32_t message = 0;
    const void* device = nullptr;  // the WaveIn / WaveOut that posted it, null for WM_USER / WM_QUIT
    WaveHeader* header = nullptr;  // MM_WOM_DONE
};

// A worker thread's message queue: any thread posts, the owner takes.
class MessageQueue {
public:
    void post(const WaveMessage& message);
    // Takes the oldest message if there is one.
    bool peek(WaveMessage& message);
    // Waits for a message.
    void get(WaveMessage& message);
    std::size_t size();

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    std::deque<WaveMessage> m_messages;
};

class WaveIn {
public:
    virtual ~WaveIn();
    WaveIn(const WaveIn&) = delete;
    WaveIn& operator=(const WaveIn&) = delete;

    uint32_t prepare_header(WaveHeader& header);
    uint32_t unprepare_header(WaveHeader& header);
    uint32_t add_buffer(WaveHeader& header);
    uint32_t start();
    // Stops capture; the buffer being filled is returned done with what it holds.
    uint32_t stop();
    // Stops capture and returns every queued buffer done.
    uint32_t reset();
    // Ends the device; queued buffers are returned done. The object stays until destroyed.
    uint32_t close();

    // A number naming this device in log lines.
    uint32_t id() const { return m_id; }
    const WaveFormat& format() const { return m_format; }
    // Why the device stopped delivering for good (its sound server went away); empty while it works.
    std::string failure();

protected:
    explicit WaveIn(const WaveFormat& format);
    // From any thread: the device is lost and delivers nothing more.
    void set_failure(const std::string& reason);
    virtual void backend_start() = 0;
    // Called by stop() and reset() while capture still runs: a backend that holds audio back (to line up two
    // sources) delivers it now, so a recording ends where it was stopped.
    virtual void backend_drain() {}
    // Called by failure() before it answers, without the device's mutex held: a backend whose library
    // only tells of a lost device when asked looks now.
    virtual void backend_check() {}
    virtual void backend_stop() = 0;
    virtual void backend_close() = 0;
    // Called by the backend's thread with captured bytes in the asked format; bytes arriving while
    // no buffer is queued are lost, as with a device that overruns.
    void deliver(const uint8_t* bytes, std::size_t length);
    // Waits until capture runs with a buffer queued (true) or the device closes (false).
    bool wait_until_wanted();
    bool is_started();

private:
    void complete_head_locked();

    WaveFormat m_format;
    uint32_t m_id;
    std::mutex m_mutex;
    std::condition_variable m_wanted;
    std::deque<WaveHeader*> m_queue;
    bool m_started = false;
    bool m_closed = false;
    std::string m_failure;
};

class WaveOut {
public:
    virtual ~WaveOut();
    WaveOut(const WaveOut&) = delete;
    WaveOut& operator=(const WaveOut&) = delete;

    uint32_t prepare_header(WaveHeader& header);
    uint32_t unprepare_header(WaveHeader& header);
    uint32_t write(WaveHeader& header);
    uint32_t pause();
    uint32_t restart();
    // Stops playback and returns every queued buffer done (with MM_WOM_DONE each).
    uint32_t reset();
    // Closes the device and posts MM_WOM_CLOSE; fails with WAVERR_STILLPLAYING while buffers are queued.
    uint32_t close();
    // Low word left, high word right, 0xFFFF is full volume.
    uint32_t set_volume(uint32_t volume);
    uint32_t volume() const { return m_volume.load(); }
    // Bytes written and not yet played: what the listener will still hear of the queued buffers.
    std::size_t queued_bytes();

    uint32_t id() const { return m_id; }
    const WaveFormat& format() const { return m_format; }

protected:
    WaveOut(const WaveFormat& format, MessageQueue& notify);
    // The SDL backend keeps its device running and plays silence while paused; the file backend
    // stops its clock while paused.
    virtual void backend_pause(bool paused) = 0;
    virtual void backend_close() = 0;
    // Called by the backend's thread: copies up to length bytes of queued buffers (volume applied),
    // completing each buffer that is used up. Returns the bytes copied (0 when none queued or paused).
    std::size_t render(uint8_t* out, std::size_t length);
    // Waits until a buffer is queued and the device is not paused (true) or it closes (false).
    bool wait_until_wanted();
    void post_open();

private:
    void apply_volume(uint8_t* bytes, std::size_t length) const;

    WaveFormat m_format;
    MessageQueue& m_notify;
    uint32_t m_id;
    std::mutex m_mutex;
    std::condition_variable m_wanted;
    std::deque<WaveHeader*> m_queue;
    std::size_t m_head_offset = 0;
    bool m_paused = false;
    bool m_closed = false;
    std::atomic<uint32_t> m_volume{0xFFFFFFFFu};
};

// Opens the default input (device WAVE_MAPPER). On success posts MM_WIM_OPEN to notify.
uint32_t wave_in_open(std::unique_ptr<WaveIn>& handle, int device, const WaveFormat& format, MessageQueue& notify);
// Opens the default output. On success posts MM_WOM_OPEN to notify.
uint32_t wave_out_open(std::unique_ptr<WaveOut>& handle, int device, const WaveFormat& format, MessageQueue& notify);

// A thread of the program's own (not the audio engine's) that opened devices calls this before it
// ends: the sound library keeps some state per thread, which would otherwise outlive it.
void wave_thread_done();

}  // namespace os

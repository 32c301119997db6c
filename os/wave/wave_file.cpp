// File backends: a PCM WAV is the microphone, another the speaker. Each device runs one thread that
// moves 20 ms at a time, sleeping to keep real time unless pacing is off.
#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include "os/wave/wav_stream.h"
#include "os/wave/wave_backends.h"

namespace os::wave_detail {

namespace {

using Clock = std::chrono::steady_clock;

std::size_t chunk_bytes(const WaveFormat& format) {
    const int frames = std::max(1, format.rate / 50);
    return static_cast<std::size_t>(frames) * static_cast<std::size_t>(format.block_align());
}

Clock::duration duration_of(std::size_t bytes, const WaveFormat& format) {
    const double seconds = static_cast<double>(bytes) / std::max(1, format.byte_rate());
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

class FileWaveIn final : public WaveIn {
public:
    FileWaveIn(const WaveFormat& format, bool pace) : WaveIn(format), m_pace(pace) {}
    ~FileWaveIn() override {
        close();
        if (m_thread.joinable()) m_thread.join();
    }

    bool open(const std::string& path, std::string& reason) {
        if (!m_source.open(path, format(), reason)) return false;
        m_thread = std::thread([this] { run(); });
        return true;
    }

protected:
    void backend_start() override {}
    void backend_stop() override {}
    void backend_close() override {
        if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
    }

private:
    void run() {
        std::vector<uint8_t> chunk(chunk_bytes(format()));
        bool anchored = false;
        Clock::time_point deadline;
        while (wait_until_wanted()) {
            if (m_pace) {
                const Clock::time_point now = Clock::now();
                // After a stop or a starved queue the clock starts again instead of catching up.
                if (!anchored || now - deadline > std::chrono::milliseconds(200)) deadline = now;
                anchored = true;
                deadline += duration_of(chunk.size(), format());
                std::this_thread::sleep_until(deadline);
            }
            m_source.read(chunk.data(), chunk.size());
            deliver(chunk.data(), chunk.size());
        }
    }

    bool m_pace;
    WavSource m_source;
    std::thread m_thread;
};

class FileWaveOut final : public WaveOut {
public:
    FileWaveOut(const WaveFormat& format, MessageQueue& notify, bool pace) : WaveOut(format, notify), m_pace(pace) {}
    ~FileWaveOut() override {
        reset();
        close();
        if (m_thread.joinable()) m_thread.join();
        m_sink.close();
    }

    bool open(const std::string& path, std::string& reason) {
        if (!m_sink.open(path, format())) {
            reason = "cannot create";
            return false;
        }
        m_thread = std::thread([this] { run(); });
        post_open();
        return true;
    }

protected:
    void backend_pause(bool) override {}
    void backend_close() override {
        if (m_thread.joinable()) m_thread.join();
        m_sink.close();
    }

private:
    void run() {
        std::vector<uint8_t> chunk(chunk_bytes(format()));
        bool anchored = false;
        Clock::time_point deadline;
        while (wait_until_wanted()) {
            const std::size_t played = render(chunk.data(), chunk.size());
            if (played == 0) continue;
            m_sink.write(chunk.data(), played);
            if (m_pace) {
                const Clock::time_point now = Clock::now();
                if (!anchored || now - deadline > std::chrono::milliseconds(200)) deadline = now;
                anchored = true;
                deadline += duration_of(played, format());
                std::this_thread::sleep_until(deadline);
            }
        }
    }

    bool m_pace;
    WavSink m_sink;
    std::thread m_thread;
};

}  // namespace

std::unique_ptr<WaveIn> open_file_in(const std::string& path, const WaveFormat& format, bool pace,
                                     std::string& reason) {
    auto device = std::make_unique<FileWaveIn>(format, pace);
    if (!device->open(path, reason)) return nullptr;
    return device;
}

std::unique_ptr<WaveOut> open_file_out(const std::string& path, const WaveFormat& format, MessageQueue& notify,
                                       bool pace, std::string& reason) {
    auto device = std::make_unique<FileWaveOut>(format, notify, pace);
    if (!device->open(path, reason)) return nullptr;
    return device;
}

}  // namespace os::wave_detail

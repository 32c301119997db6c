#include "document/sound_player.h"

#include <vector>

#include "audio/readers/file_reader.h"
#include "os/event.h"
#include "os/path.h"
#include "os/stopwatch.h"
#include "os/wave/wave.h"

namespace {
// A beep is a fraction of a second; anything longer is not a beep and would hold up the GUI.
constexpr size_t max_sound_bytes = 4 * 1024 * 1024;
}  // namespace

bool play_sound_sync(std::u16string_view path) {
    std::unique_ptr<FileReader> reader = FileReader::open(os::expand_path(path));
    if (!reader) return false;
    std::vector<uint8_t> samples;
    AudioFormat format;
    for (;;) {
        const AudioBlock block = reader->output().get_data(4096);
        if (block.is_empty()) break;
        if (format.is_empty()) format = block.format();
        if (block.format() != format) break;
        samples.insert(samples.end(), block.data(), block.data() + block.length());
        if (samples.size() > max_sound_bytes) return false;
    }
    if (samples.empty()) return false;

    os::MessageQueue messages;
    std::unique_ptr<os::WaveOut> out;
    const os::WaveFormat wave_format{format.channels, format.bits, format.rate};
    if (os::wave_out_open(out, os::WAVE_MAPPER, wave_format, messages) != os::MMSYSERR_NOERROR || !out) return false;
    os::WaveHeader header;
    header.data = samples.data();
    header.buffer_length = static_cast<uint32_t>(samples.size());
    bool played = out->prepare_header(header) == os::MMSYSERR_NOERROR && out->write(header) == os::MMSYSERR_NOERROR;
    if (played) {
        // Waits for the buffer to come back, with a limit well past the sound's own length so a
        // device that stalls cannot hang the caller.
        const double limit = 2.0 + static_cast<double>(samples.size()) / wave_format.byte_rate();
        const Stopwatch watch;
        while (!(header.flags.load(std::memory_order_acquire) & os::WHDR_DONE) && watch.elapsed() < limit) {
            sleep_seconds(0.005);
        }
        if (!(header.flags.load() & os::WHDR_DONE)) {
            out->reset();
            played = false;
        }
    }
    out->unprepare_header(header);
    out->close();
    return played;
}

BeepPlayer::~BeepPlayer() {
    {
        std::lock_guard guard(m_mutex);
        m_closing = true;
        m_queue.clear();
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void BeepPlayer::play(std::u16string_view path) {
    {
        std::lock_guard guard(m_mutex);
        // A beep that has not begun by the time the next one is asked for is stale.
        m_queue.clear();
        m_queue.emplace_back(path);
        if (!m_thread.joinable()) m_thread = std::thread([this] { run(); });
    }
    m_wake.notify_all();
}

bool BeepPlayer::busy() {
    std::lock_guard guard(m_mutex);
    return m_playing || !m_queue.empty();
}

void BeepPlayer::run() {
    std::unique_lock guard(m_mutex);
    for (;;) {
        m_wake.wait(guard, [this] { return m_closing || !m_queue.empty(); });
        if (m_closing) {
            os::wave_thread_done();
            return;
        }
        const std::u16string path = std::move(m_queue.front());
        m_queue.pop_front();
        m_playing = true;
        guard.unlock();
        play_sound_sync(path);
        guard.lock();
        m_playing = false;
    }
}

#include "audio/recorder_pcm_impl.h"

#include "audio/audio_format.h"
#include "os/log.h"
#include "os/tick.h"

class RecorderPCMImpl::Worker : public Thread {
public:
    explicit Worker(RecorderPCMImpl& recorder) : m_recorder(recorder) {}

protected:
    void run() override { m_recorder.run_loop(*this); }

private:
    RecorderPCMImpl& m_recorder;
};

uint32_t RecorderPCMImpl::buffer_size_for(int channels, int rate, int bits) {
    const int block_align = channels * ((bits + 7) / 8);
    return static_cast<uint32_t>(((rate * 200 / 1000) * block_align) / 2 * 2);
}

RecorderPCMImpl::RecorderPCMImpl(int channels, int rate, int bits, CaptureSource source)
    : m_thread(std::make_unique<Worker>(*this)), m_channels(channels), m_rate(rate), m_bits(bits) {
    m_buffer_size = buffer_size_for(channels, rate, bits);
    for (int k = 0; k < buffer_count; ++k) {
        m_buffers[k].assign(m_buffer_size, 0);
        m_headers[k].data = m_buffers[k].data();
        m_headers[k].buffer_length = m_buffer_size;
    }
    m_thread->start();
    m_thread->set_priority(1);

    std::lock_guard guard(m_lock);
    const os::WaveFormat format{channels, bits, rate};
    const int device = source == CaptureSource::call_both_sides        ? os::WAVE_CALL_BOTH_SIDES
                       : source == CaptureSource::call_both_sides_only ? os::WAVE_CALL_BOTH_SIDES_ONLY
                                                                       : os::WAVE_MAPPER;
    const uint32_t result = os::wave_in_open(m_handle, device, format, m_messages);
    os::log() << u"waveInOpen handle=" << handle_id() << u"\n";
    if (result != os::MMSYSERR_NOERROR) {
        m_state = 3;
        os::log() << u"recorder bad open!!!!! waveInOpen=" << result << u"\n";
    }
}

RecorderPCMImpl::~RecorderPCMImpl() {
    os::log() << u"recorder ~RecorderPCMImpl " << os::tick_count() << u"\n";
    close_device();
    m_thread->request_stop();
    m_wake.set();
    m_thread->join();
    std::lock_guard guard(m_lock);
    m_handle.reset();
}

void RecorderPCMImpl::close_device() {
    std::lock_guard guard(m_lock);
    if (!m_handle || m_device_closed) return;
    m_device_closed = true;
    m_state = 3;
    uint32_t result = m_handle->reset();
    if (result != os::MMSYSERR_NOERROR) os::log() << u"recorder bad reset!!!!! waveInReset=" << result << u"\n";
    // The reset hands back every buffer, the partly filled one too: pass what they hold on so the
    // last moments before stop reach the file.
    harvest();
    result = m_handle->close();
    if (result != os::MMSYSERR_NOERROR) os::log() << u"recorder bad close!!!!! waveInClose=" << result << u"\n";
}

void RecorderPCMImpl::finish() { close_device(); }

void RecorderPCMImpl::run_loop(Thread& thread) {
    os::mark_audio_thread();
    while (!thread.stop_requested()) {
        {
            std::lock_guard guard(m_lock);
            if (m_state == 0) {
                os::WaveMessage message;
                if (m_messages.peek(message) && message.message == os::MM_WIM_OPEN) {
                    m_state = 1;
                    os::log() << u"MM_WIM_OPEN\n";
                }
            }
            if (m_state == 1) {
                if (!m_handle) {
                    m_state = 3;
                    break;
                }
                if (m_start_requested) start_device();
            }
            if (m_state == 2) harvest();
            if (m_state == 3) break;
        }
        // A pass every 100 ms; ten 200 ms buffers leave two seconds of slack before the device starves.
        m_wake.wait_for(100);
    }
}

void RecorderPCMImpl::start_device() {
    for (auto& header : m_headers) queue_header(header);
    const uint32_t result = m_handle->start();
    if (result != os::MMSYSERR_NOERROR) {
        os::log() << u"recorder bad start!!!!! waveInStart=" << result << u"\n";
        m_paused = true;
        return;
    }
    m_state = 2;
    m_start_requested = false;
    m_paused = false;
    os::log() << u"recorder good start\n";
}

void RecorderPCMImpl::queue_header(os::WaveHeader& header) {
    uint32_t result = m_handle->prepare_header(header);
    if (result != os::MMSYSERR_NOERROR) {
        os::log() << u"recorder bad prepare!!!!! handle=" << handle_id() << u" waveInPrepareHeader=" << result << u"\n";
    }
    result = m_handle->add_buffer(header);
    os::log() << u"recorder add " << os::tick_count() << u"\n";
    if (result != os::MMSYSERR_NOERROR) {
        os::log() << u"recorder bad add!!!!! handle=" << handle_id() << u" waveInAddBuffer=" << result << u"\n";
    }
}

void RecorderPCMImpl::harvest() {
    std::lock_guard guard(m_lock);
    const int first = m_next_index;
    for (int i = 0; i < buffer_count && m_handle; ++i) {
        const int k = (first + i) % buffer_count;
        os::WaveHeader& header = m_headers[k];
        if (!(header.flags.load(std::memory_order_acquire) & os::WHDR_DONE)) continue;
        m_next_index = (first + i + 1) % buffer_count;
        uint32_t result = m_handle->unprepare_header(header);
        if (result != os::MMSYSERR_NOERROR) {
            os::log() << u"recorder bad unprepare!!!!! handle=" << handle_id() << u" waveInUnprepareHeader=" << result
                      << u"\n";
            os::log() << u"MMSYSERR_INVALHANDLE=" << 5 << u"\n";
        }
        const uint32_t recorded = header.bytes_recorded;
        AudioBlock block(header.data, recorded, AudioFormat{m_channels, m_bits, m_rate});
        os::log() << u"recorder->feed_consumer buffer:" << k << u" size:" << recorded << u"\n";
        if (recorded > 0) feed(*this, block);  // a buffer handed back unused by reset has nothing to say
        header.bytes_recorded = 0;
        header.user = 0;
        header.flags.store(0);
        if (m_state != 3) queue_header(header);
    }
}

bool RecorderPCMImpl::start() {
    std::lock_guard guard(m_lock);
    m_start_requested = true;
    m_wake.set();
    return m_handle != nullptr;
}

bool RecorderPCMImpl::pause() {
    std::lock_guard guard(m_lock);
    if (!m_handle || m_paused) return true;
    const uint32_t result = m_handle->stop();
    if (result != os::MMSYSERR_NOERROR) {
        os::log() << u"recorder bad pause!!!!! waveInStop=" << result << u"\n";
        return false;
    }
    m_paused = true;
    return true;
}

bool RecorderPCMImpl::is_paused() {
    std::lock_guard guard(m_lock);
    return m_paused;
}

bool RecorderPCMImpl::is_ok() {
    std::lock_guard guard(m_lock);
    return m_handle != nullptr && m_state < 3 && m_handle->failure().empty();
}

int RecorderPCMImpl::channels() {
    std::lock_guard guard(m_lock);
    return m_channels;
}

int RecorderPCMImpl::bits() {
    std::lock_guard guard(m_lock);
    return m_bits;
}

int RecorderPCMImpl::rate() {
    std::lock_guard guard(m_lock);
    return m_rate;
}

int RecorderPCMImpl::bit_rate() {
    std::lock_guard guard(m_lock);
    return AudioFormat{m_channels, m_bits, m_rate}.bit_rate();
}

int RecorderPCMImpl::state() {
    std::lock_guard guard(m_lock);
    return m_state;
}

std::string RecorderPCMImpl::failure() {
    std::lock_guard guard(m_lock);
    if (!m_handle) return "no device";
    return m_handle->failure();
}

// Both sides of a call through the PulseAudio client library (PipeWire's pulse server serves it as
// well): the microphone (the default source) and the monitor of the output that carries the call
// (the default sink), each captured as mono 16-bit at the asked rate and mixed into one stream.
//
// On a phone the far side is played to the earpiece or speaker and never reaches the microphone:
// the monitor is the only place it can be heard. Each side keeps its level (the two are added);
// where the sum would clip, a gain that dips at once and recovers over a few tens of milliseconds
// keeps it inside the 16-bit range.
//
// Threads: PulseAudio's threaded main loop runs the stream callbacks, which mix and deliver; the
// owner's operations take the main loop's lock. deliver() takes the WaveIn's lock inside the main
// loop's, and the WaveIn never calls a backend operation while holding its own.
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <deque>
#include <string>
#include <vector>

#include "os/wave/wave_backends.h"

namespace os::wave_detail {

namespace {

// One side may run ahead of the other: servers hand audio over in blocks of their own size (a
// monitor or a quiet source up to two seconds at once, far more than a microphone's), so a lead in
// samples alone says nothing. A side is missing only when it has delivered nothing for this long
// (a source that stalled, a monitor that never starts); then it counts as silence up to the other.
constexpr double stall_seconds = 0.5;
// Until a side's first block: a sound server may take up to two seconds to render it.
constexpr double first_block_seconds = 2.5;
// Beyond this lead the laggard counts as silence whatever it delivers (clocks that drift apart).
constexpr double max_lead_seconds = 3.0;
// How fast the limiter's gain returns to 1 after a peak: per sample, at any rate near 44.1 kHz.
constexpr float gain_recovery = 0.0005f;

class PulseCallWaveIn final : public WaveIn {
public:
    explicit PulseCallWaveIn(const WaveFormat& format) : WaveIn(format) {}
    ~PulseCallWaveIn() override {
        close();
        teardown();
    }

    bool open(std::string& reason) {
        m_loop = pa_threaded_mainloop_new();
        if (!m_loop || pa_threaded_mainloop_start(m_loop) < 0) {
            reason = "no PulseAudio main loop";
            return false;
        }
        pa_threaded_mainloop_lock(m_loop);
        const bool ok = connect(reason) && find_sources(reason) && open_streams(reason);
        pa_threaded_mainloop_unlock(m_loop);
        return ok;
    }

protected:
    void backend_start() override { cork(false); }
    void backend_stop() override { cork(true); }
    void backend_drain() override {
        if (!m_loop) return;
        pa_threaded_mainloop_lock(m_loop);
        for (pa_stream* stream : {m_near, m_far}) {
            if (stream) take(stream, stream == m_near ? m_near_samples : m_far_samples);
        }
        // What one side said last has no partner from the other yet: it is not lost for that.
        const size_t longest = std::max(m_near_samples.size(), m_far_samples.size());
        m_near_samples.resize(longest, 0);
        m_far_samples.resize(longest, 0);
        mix();
        pa_threaded_mainloop_unlock(m_loop);
    }
    void backend_close() override { teardown(); }

private:
    // ---- set-up, with the main loop locked ----

    bool connect(std::string& reason) {
        m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "Quillon Touch");
        if (!m_context) {
            reason = "no PulseAudio context";
            return false;
        }
        pa_context_set_state_callback(m_context, &PulseCallWaveIn::on_context_state, this);
        if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            reason = std::string("PulseAudio: ") + pa_strerror(pa_context_errno(m_context));
            return false;
        }
        for (;;) {
            const pa_context_state_t state = pa_context_get_state(m_context);
            if (state == PA_CONTEXT_READY) return true;
            if (!PA_CONTEXT_IS_GOOD(state)) {
                reason = std::string("PulseAudio: ") + pa_strerror(pa_context_errno(m_context));
                return false;
            }
            pa_threaded_mainloop_wait(m_loop);
        }
    }

    void wait_for(pa_operation* operation) {
        if (!operation) return;
        while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) pa_threaded_mainloop_wait(m_loop);
        pa_operation_unref(operation);
    }

    bool find_sources(std::string& reason) {
        wait_for(pa_context_get_server_info(m_context, &PulseCallWaveIn::on_server_info, this));
        if (m_default_sink.empty()) {
            reason = "no output device, so no monitor of it";
            return false;
        }
        wait_for(
            pa_context_get_sink_info_by_name(m_context, m_default_sink.c_str(), &PulseCallWaveIn::on_sink_info, this));
        if (m_monitor.empty()) {
            reason = "the output " + m_default_sink + " has no monitor";
            return false;
        }
        return true;
    }

    bool open_streams(std::string& reason) {
        pa_sample_spec spec{};
        spec.format = PA_SAMPLE_S16LE;
        spec.rate = static_cast<uint32_t>(format().rate);
        spec.channels = 1;
        // Small fragments: the recorder harvests every 100 ms and the two sides should meet soon.
        pa_buffer_attr attributes{};
        attributes.maxlength = static_cast<uint32_t>(-1);
        attributes.fragsize = static_cast<uint32_t>(pa_usec_to_bytes(20000, &spec));
        m_near = open_stream("call near side", m_microphone.empty() ? nullptr : m_microphone.c_str(), spec, attributes,
                             reason);
        m_far = m_near ? open_stream("call far side", m_monitor.c_str(), spec, attributes, reason) : nullptr;
        return m_near && m_far;
    }

    pa_stream* open_stream(const char* name, const char* source, const pa_sample_spec& spec,
                           const pa_buffer_attr& attributes, std::string& reason) {
        pa_stream* stream = pa_stream_new(m_context, name, &spec, nullptr);
        if (!stream) {
            reason = std::string("PulseAudio stream: ") + pa_strerror(pa_context_errno(m_context));
            return nullptr;
        }
        pa_stream_set_state_callback(stream, &PulseCallWaveIn::on_stream_state, this);
        pa_stream_set_read_callback(stream, &PulseCallWaveIn::on_read, this);
        const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_START_CORKED);
        if (pa_stream_connect_record(stream, source, &attributes, flags) < 0) {
            reason = std::string("PulseAudio record: ") + pa_strerror(pa_context_errno(m_context));
            pa_stream_unref(stream);
            return nullptr;
        }
        for (;;) {
            const pa_stream_state_t state = pa_stream_get_state(stream);
            if (state == PA_STREAM_READY) return stream;
            if (!PA_STREAM_IS_GOOD(state)) {
                reason = std::string("PulseAudio record from ") + (source ? source : "the default source") + ": " +
                         pa_strerror(pa_context_errno(m_context));
                pa_stream_unref(stream);
                return nullptr;
            }
            pa_threaded_mainloop_wait(m_loop);
        }
    }

    void cork(bool corked) {
        if (!m_loop) return;
        pa_threaded_mainloop_lock(m_loop);
        for (pa_stream* stream : {m_near, m_far}) {
            if (stream) {
                if (pa_operation* operation = pa_stream_cork(stream, corked ? 1 : 0, nullptr, nullptr)) {
                    pa_operation_unref(operation);
                }
            }
        }
        m_near_samples.clear();
        m_far_samples.clear();
        m_near_heard = m_far_heard = false;
        m_near_last = m_far_last = std::chrono::steady_clock::now();
        pa_threaded_mainloop_unlock(m_loop);
    }

    void teardown() {
        if (!m_loop) return;
        pa_threaded_mainloop_lock(m_loop);
        for (pa_stream** stream : {&m_near, &m_far}) {
            if (*stream) {
                pa_stream_set_read_callback(*stream, nullptr, nullptr);
                pa_stream_set_state_callback(*stream, nullptr, nullptr);
                pa_stream_disconnect(*stream);
                pa_stream_unref(*stream);
                *stream = nullptr;
            }
        }
        if (m_context) {
            pa_context_set_state_callback(m_context, nullptr, nullptr);
            pa_context_disconnect(m_context);
            pa_context_unref(m_context);
            m_context = nullptr;
        }
        pa_threaded_mainloop_unlock(m_loop);
        pa_threaded_mainloop_stop(m_loop);
        pa_threaded_mainloop_free(m_loop);
        m_loop = nullptr;
    }

    // ---- callbacks, on the main loop's thread ----

    static void on_context_state(pa_context* context, void* user) {
        auto* self = static_cast<PulseCallWaveIn*>(user);
        const pa_context_state_t state = pa_context_get_state(context);
        if ((state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED) && self->m_near && self->m_far) {
            self->set_failure(std::string("the sound server went away (") + pa_strerror(pa_context_errno(context)) +
                              ")");
        }
        pa_threaded_mainloop_signal(self->m_loop, 0);
    }
    static void on_stream_state(pa_stream* stream, void* user) {
        auto* self = static_cast<PulseCallWaveIn*>(user);
        if (pa_stream_get_state(stream) == PA_STREAM_FAILED && self->m_near && self->m_far) {
            self->set_failure(std::string("the sound server ended the ") +
                              (stream == self->m_near ? "microphone" : "far side's") + " stream");
        }
        pa_threaded_mainloop_signal(self->m_loop, 0);
    }

    static void on_server_info(pa_context*, const pa_server_info* info, void* user) {
        auto* self = static_cast<PulseCallWaveIn*>(user);
        if (info) {
            self->m_default_sink = info->default_sink_name ? info->default_sink_name : "";
            self->m_microphone = info->default_source_name ? info->default_source_name : "";
        }
        pa_threaded_mainloop_signal(self->m_loop, 0);
    }

    static void on_sink_info(pa_context*, const pa_sink_info* info, int, void* user) {
        auto* self = static_cast<PulseCallWaveIn*>(user);
        if (info && info->monitor_source_name) self->m_monitor = info->monitor_source_name;
        pa_threaded_mainloop_signal(self->m_loop, 0);
    }

    static void on_read(pa_stream* stream, size_t, void* user) {
        auto* self = static_cast<PulseCallWaveIn*>(user);
        const bool near = stream == self->m_near;
        self->take(stream, near ? self->m_near_samples : self->m_far_samples);
        (near ? self->m_near_heard : self->m_far_heard) = true;
        (near ? self->m_near_last : self->m_far_last) = std::chrono::steady_clock::now();
        self->mix();
    }

    void take(pa_stream* stream, std::deque<int16_t>& side) {
        const void* data = nullptr;
        size_t length = 0;
        while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &data, &length) == 0 && length > 0) {
            const size_t count = length / sizeof(int16_t);
            if (data) {
                const auto* samples = static_cast<const int16_t*>(data);
                side.insert(side.end(), samples, samples + count);
            } else {
                side.insert(side.end(), count, 0);  // a hole in the stream is silence
            }
            pa_stream_drop(stream);
        }
    }

    void mix() {
        const auto now = std::chrono::steady_clock::now();
        const size_t lead = static_cast<size_t>(max_lead_seconds * format().rate);
        auto missing = [&](bool heard, std::chrono::steady_clock::time_point last) {
            const double waited = heard ? stall_seconds : first_block_seconds;
            return std::chrono::duration<double>(now - last).count() > waited;
        };
        // A side that fell behind and is missing, or too far behind, is filled with silence up to
        // the other.
        if (m_near_samples.size() > m_far_samples.size() &&
            (missing(m_far_heard, m_far_last) || m_near_samples.size() > m_far_samples.size() + lead)) {
            m_far_samples.resize(m_near_samples.size(), 0);
        } else if (m_far_samples.size() > m_near_samples.size() &&
                   (missing(m_near_heard, m_near_last) || m_far_samples.size() > m_near_samples.size() + lead)) {
            m_near_samples.resize(m_far_samples.size(), 0);
        }
        const size_t count = std::min(m_near_samples.size(), m_far_samples.size());
        if (count == 0) return;
        const int channels = format().channels;
        m_mixed.resize(count * static_cast<size_t>(channels));
        for (size_t i = 0; i < count; ++i) {
            const float sum = static_cast<float>(m_near_samples[i]) + static_cast<float>(m_far_samples[i]);
            float sample = sum * m_gain;
            if (std::fabs(sample) > 32767.0f) {
                m_gain = 32767.0f / std::fabs(sum);
                sample = sum * m_gain;
            }
            m_gain = std::min(1.0f, m_gain + (1.0f - m_gain) * gain_recovery + 1e-7f);
            const auto value = static_cast<int16_t>(std::clamp(std::lround(sample), -32768L, 32767L));
            for (int c = 0; c < channels; ++c) m_mixed[i * static_cast<size_t>(channels) + c] = value;
        }
        m_near_samples.erase(m_near_samples.begin(), m_near_samples.begin() + static_cast<std::ptrdiff_t>(count));
        m_far_samples.erase(m_far_samples.begin(), m_far_samples.begin() + static_cast<std::ptrdiff_t>(count));
        deliver(reinterpret_cast<const uint8_t*>(m_mixed.data()), m_mixed.size() * sizeof(int16_t));
    }

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_near = nullptr;
    pa_stream* m_far = nullptr;
    std::string m_default_sink;
    std::string m_microphone;
    std::string m_monitor;
    std::deque<int16_t> m_near_samples;
    std::deque<int16_t> m_far_samples;
    std::vector<int16_t> m_mixed;
    float m_gain = 1.0f;
    // Whether each side has delivered since the start, and when it last did.
    bool m_near_heard = false;
    bool m_far_heard = false;
    std::chrono::steady_clock::time_point m_near_last;
    std::chrono::steady_clock::time_point m_far_last;
};

}  // namespace

std::unique_ptr<WaveIn> open_pulse_call_in(const WaveFormat& format, std::string& reason) {
    if (format.bits != 16 || (format.channels != 1 && format.channels != 2) || format.rate <= 0) {
        reason = "the call capture records 16-bit mono or stereo only";
        return nullptr;
    }
    auto wave = std::make_unique<PulseCallWaveIn>(format);
    if (!wave->open(reason)) return nullptr;
    return wave;
}

}  // namespace os::wave_detail

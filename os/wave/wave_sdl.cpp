// SDL2 backends: the real microphone and speaker. SDL's audio thread calls our callbacks; SDL
// converts between the asked format and what the device offers. No SDL function is called while
// the device's own mutex is held, because SDL holds its device lock around the callback, which
// takes that mutex.
#include <SDL.h>

#include <cstring>
#include <mutex>

#include "os/wave/wave_backends.h"

namespace os::wave_detail {

namespace {

bool init_sdl_audio(std::string& reason) {
    static std::mutex mutex;
    static bool initialised = false;
    std::lock_guard lock(mutex);
    if (initialised) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        reason = SDL_GetError();
        return false;
    }
    initialised = true;
    return true;
}

SDL_AudioSpec spec_for(const WaveFormat& format, SDL_AudioCallback callback, void* user) {
    SDL_AudioSpec spec{};
    spec.freq = format.rate;
    spec.format = format.bits == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    spec.channels = static_cast<Uint8>(format.channels);
    spec.samples = 1024;
    spec.callback = callback;
    spec.userdata = user;
    return spec;
}

bool valid_format(const WaveFormat& format) {
    return (format.bits == 8 || format.bits == 16) && (format.channels == 1 || format.channels == 2) && format.rate > 0;
}

class SdlWaveIn final : public WaveIn {
public:
    explicit SdlWaveIn(const WaveFormat& format) : WaveIn(format) {}
    ~SdlWaveIn() override { close(); }

    bool open(std::string& reason) {
        SDL_AudioSpec desired = spec_for(format(), &SdlWaveIn::callback, this);
        SDL_AudioSpec obtained{};
        m_device = SDL_OpenAudioDevice(nullptr, 1, &desired, &obtained, 0);
        if (m_device == 0) {
            reason = SDL_GetError();
            return false;
        }
        return true;
    }

protected:
    void backend_start() override { SDL_PauseAudioDevice(m_device, 0); }
    void backend_stop() override { SDL_PauseAudioDevice(m_device, 1); }
    void backend_close() override {
        if (m_device != 0) SDL_CloseAudioDevice(m_device);
        m_device = 0;
    }
    // An open device that SDL reports stopped (neither playing nor paused) was disconnected: the
    // microphone was unplugged or the sound server went away, and it delivers nothing more.
    void backend_check() override {
        if (m_device != 0 && SDL_GetAudioDeviceStatus(m_device) == SDL_AUDIO_STOPPED) {
            set_failure("the sound input went away (the microphone or the sound server was lost)");
        }
    }

private:
    static void callback(void* user, Uint8* stream, int length) {
        static_cast<SdlWaveIn*>(user)->deliver(stream, static_cast<std::size_t>(length));
    }

    SDL_AudioDeviceID m_device = 0;
};

class SdlWaveOut final : public WaveOut {
public:
    SdlWaveOut(const WaveFormat& format, MessageQueue& notify) : WaveOut(format, notify) {}
    ~SdlWaveOut() override {
        reset();
        close();
        if (m_device != 0) SDL_CloseAudioDevice(m_device);
    }

    bool open(std::string& reason) {
        SDL_AudioSpec desired = spec_for(format(), &SdlWaveOut::callback, this);
        SDL_AudioSpec obtained{};
        m_device = SDL_OpenAudioDevice(nullptr, 0, &desired, &obtained, 0);
        if (m_device == 0) {
            reason = SDL_GetError();
            return false;
        }
        m_silence = obtained.silence;
        post_open();
        SDL_PauseAudioDevice(m_device, 0);  // runs from open on; plays silence while nothing is queued
        return true;
    }

protected:
    void backend_pause(bool) override {}
    void backend_close() override {
        if (m_device != 0) SDL_CloseAudioDevice(m_device);
        m_device = 0;
    }

private:
    static void callback(void* user, Uint8* stream, int length) {
        auto* self = static_cast<SdlWaveOut*>(user);
        const std::size_t played = self->render(stream, static_cast<std::size_t>(length));
        if (played < static_cast<std::size_t>(length)) {
            std::memset(stream + played, self->m_silence, static_cast<std::size_t>(length) - played);
        }
    }

    SDL_AudioDeviceID m_device = 0;
    Uint8 m_silence = 0;
};

}  // namespace

std::unique_ptr<WaveIn> open_sdl_in(const WaveFormat& format, std::string& reason) {
    if (!valid_format(format)) {
        reason = "unsupported format";
        return nullptr;
    }
    if (!init_sdl_audio(reason)) return nullptr;
    auto device = std::make_unique<SdlWaveIn>(format);
    if (!device->open(reason)) return nullptr;
    return device;
}

std::unique_ptr<WaveOut> open_sdl_out(const WaveFormat& format, MessageQueue& notify, std::string& reason) {
    if (!valid_format(format)) {
        reason = "unsupported format";
        return nullptr;
    }
    if (!init_sdl_audio(reason)) return nullptr;
    auto device = std::make_unique<SdlWaveOut>(format, notify);
    if (!device->open(reason)) return nullptr;
    return device;
}

}  // namespace os::wave_detail

namespace os {

void wave_thread_done() { SDL_TLSCleanup(); }

}  // namespace os

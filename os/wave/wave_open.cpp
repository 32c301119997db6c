#include <cstdlib>
#include <cstring>

#include "os/log.h"
#include "os/text.h"
#include "os/wave/wave_backends.h"

namespace os {

namespace {

bool pacing_on() {
    const char* pace = std::getenv("QUILLON_AUDIO_PACE");
    return pace == nullptr || std::strcmp(pace, "0") != 0;
}

const char* file_for(const char* variable) {
    const char* path = std::getenv(variable);
    return (path != nullptr && *path != '\0') ? path : nullptr;
}

}  // namespace

uint32_t wave_in_open(std::unique_ptr<WaveIn>& handle, int device, const WaveFormat& format, MessageQueue& notify) {
    handle.reset();
    if (device != WAVE_MAPPER && device != 0 && device != WAVE_CALL_BOTH_SIDES && device != WAVE_CALL_BOTH_SIDES_ONLY) {
        return MMSYSERR_BADDEVICEID;
    }
    std::string reason;
    if ((device == WAVE_CALL_BOTH_SIDES || device == WAVE_CALL_BOTH_SIDES_ONLY) && !file_for("QUILLON_AUDIO_IN")) {
        handle = wave_detail::open_pulse_call_in(format, reason);
        if (handle) {
            notify.post(WaveMessage{MM_WIM_OPEN, handle.get(), nullptr});
            return MMSYSERR_NOERROR;
        }
        if (device == WAVE_CALL_BOTH_SIDES_ONLY) return MMSYSERR_NODRIVER;
        log() << u"wave in call: " << from_utf8(reason) << u"; recording the microphone alone\n";
    }
    if (const char* path = file_for("QUILLON_AUDIO_IN")) {
        handle = wave_detail::open_file_in(path, format, pacing_on(), reason);
        if (!handle) {
            log() << u"wave in file " << from_utf8(path) << u": " << from_utf8(reason) << u"\n";
            return MMSYSERR_NODRIVER;
        }
    } else {
        handle = wave_detail::open_sdl_in(format, reason);
        if (!handle) {
            log() << u"wave in SDL: " << from_utf8(reason) << u"\n";
            return MMSYSERR_NODRIVER;
        }
    }
    notify.post(WaveMessage{MM_WIM_OPEN, handle.get(), nullptr});
    return MMSYSERR_NOERROR;
}

uint32_t wave_out_open(std::unique_ptr<WaveOut>& handle, int device, const WaveFormat& format, MessageQueue& notify) {
    handle.reset();
    if (device != WAVE_MAPPER && device != 0) return MMSYSERR_BADDEVICEID;
    std::string reason;
    if (const char* path = file_for("QUILLON_AUDIO_OUT")) {
        handle = wave_detail::open_file_out(path, format, notify, pacing_on(), reason);
        if (!handle) {
            log() << u"wave out file " << from_utf8(path) << u": " << from_utf8(reason) << u"\n";
            return MMSYSERR_NODRIVER;
        }
    } else {
        handle = wave_detail::open_sdl_out(format, notify, reason);
        if (!handle) {
            log() << u"wave out SDL: " << from_utf8(reason) << u"\n";
            return MMSYSERR_NODRIVER;
        }
    }
    return MMSYSERR_NOERROR;
}

}  // namespace os

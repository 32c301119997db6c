#pragma once
// The backends behind wave_in_open / wave_out_open. Private to the wave layer.
#include <memory>
#include <string>

#include "os/wave/wave.h"

namespace os::wave_detail {

// Files: the microphone reads a PCM WAV, the speaker writes one. pace = real-time pacing.
std::unique_ptr<WaveIn> open_file_in(const std::string& path, const WaveFormat& format, bool pace, std::string& reason);
std::unique_ptr<WaveOut> open_file_out(const std::string& path, const WaveFormat& format, MessageQueue& notify,
                                       bool pace, std::string& reason);

// SDL2 audio devices; SDL converts between the asked format and the device's.
std::unique_ptr<WaveIn> open_sdl_in(const WaveFormat& format, std::string& reason);
std::unique_ptr<WaveOut> open_sdl_out(const WaveFormat& format, MessageQueue& notify, std::string& reason);

// The microphone and the monitor of the output device mixed into one stream, through PulseAudio.
// Null with the reason when there is no server, no output device or no monitor of it.
std::unique_ptr<WaveIn> open_pulse_call_in(const WaveFormat& format, std::string& reason);

}  // namespace os::wave_detail

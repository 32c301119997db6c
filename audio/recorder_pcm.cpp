#include "audio/recorder_pcm.h"

#include "audio/recorder_pcm_impl.h"
#include "os/log.h"

std::unique_ptr<RecorderPCM> RecorderPCM::create(int channels, int rate, int bits, CaptureSource source) {
    return std::make_unique<RecorderPCMImpl>(channels, rate, bits, source);
}

AudioBlock RecorderPCM::get_data(int) {
    os::fatal_error(u"RecorderPCM::get_data", u"get_data unexpected - recorder is active object");
}

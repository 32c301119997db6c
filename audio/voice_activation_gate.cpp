#include "audio/voice_activation_gate.h"

#include "audio/duration_filter.h"
#include "audio/level_filter.h"
#include "os/log.h"

void VoiceActivationGate::tick() {
    if (m_level.is_silent()) {
        os::log() << u"record_levels silence\n";
        if (is_linked()) unlink();
    } else if (!is_linked()) {
        link();
    }
}

void VoiceActivationGate::link() { connect(m_level, &m_duration); }

void VoiceActivationGate::unlink() { connect(m_level, nullptr); }

bool VoiceActivationGate::is_linked() const { return m_level.downstream() == &m_duration; }

#include "telephony/speaker_phone.h"

#include "telephony/telephony_platform.h"

SpeakerPhone::SpeakerPhone() : SpeakerPhone(telephony_platform()) {}

SpeakerPhone::SpeakerPhone(TelephonyPlatform& platform) : m_platform(platform) {
    m_ready = m_platform.phone_initialize(m_device_count, m_api_version);
}

SpeakerPhone::~SpeakerPhone() {
    if (m_ready) m_platform.phone_shutdown();
}

void SpeakerPhone::set(bool on) {
    if (!m_ready || m_device_count == 0) return;
    for (uint32_t device = 0; device < m_device_count; ++device) m_platform.phone_set_speaker(device, on);
}

#pragma once
// The speakerphone switch over the platform's phone devices. The document owns one for its whole
// life and switches the speaker on for a call recording when the "Speaker" option is set.
#include <cstdint>

class TelephonyPlatform;

class SpeakerPhone {
public:
    // Opens the phone-device session; ready() tells whether it opened.
    SpeakerPhone();
    explicit SpeakerPhone(TelephonyPlatform& platform);
    SpeakerPhone(const SpeakerPhone&) = delete;
    SpeakerPhone& operator=(const SpeakerPhone&) = delete;
    // Shuts the session down when one exists.
    ~SpeakerPhone();

    // Every phone device's speaker hook switch to speaker (on) or on-hook (off). Does nothing
    // unless ready with at least one device; a device that fails does not stop the others.
    void set(bool on);

    bool ready() const { return m_ready; }
    uint32_t device_count() const { return m_device_count; }
    uint32_t api_version() const { return m_api_version; }

private:
    TelephonyPlatform& m_platform;
    uint32_t m_device_count = 0;
    uint32_t m_api_version = 0x00020000;  // the version asked for, until the service answers
    bool m_ready = false;
};

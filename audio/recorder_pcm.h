#pragma once
// The microphone as the source of the recording chain. An active object: its own thread receives
// the device's notifications, harvests filled capture buffers in ring order every 100 ms and feeds
// each as a block to its port, so the whole downstream chain up to the ActiveBuffer runs on that
// thread. Nothing may pull from it.
//
// start / pause and the accessors come from the Document's (GUI) thread and take the recorder's
// lock, the same lock the harvest holds while it feeds.
#include <memory>
#include <string>

#include "audio/audio_node.h"

// What a recorder captures: the microphone, or for a call both sides of it (the microphone mixed
// with what the phone plays; the microphone alone where that cannot be had, os/wave/wave.h).
// call_both_sides_only never falls back to the microphone (a capture taken up again once its sound
// server is back).
enum class CaptureSource { microphone, call_both_sides, call_both_sides_only };

class RecorderPCM : public AudioPort {
public:
    // Opens the source for this format; the consumer is linked afterwards with connect.
    static std::unique_ptr<RecorderPCM> create(int channels, int rate, int bits,
                                               CaptureSource source = CaptureSource::microphone);

    ~RecorderPCM() override = default;
    // A recorder pushes: pulling is a broken contract and ends the program.
    AudioBlock get_data(int requested_frames) override;
    // Asks the thread to start capturing; true when the device is open.
    virtual bool start() = 0;
    // Stops capturing; true on success or when already paused.
    virtual bool pause() = 0;
    virtual bool is_paused() = 0;
    // Ends capture and feeds what the device captured up to now, the partly filled buffer too, so
    // the last moments before a stop reach the file. Call while the consumer is still linked; the
    // recorder captures nothing more afterwards.
    virtual void finish() = 0;
    // The device is open and has not failed.
    virtual bool is_ok() = 0;
    // Why the device failed (its sound server went away); empty while it works.
    virtual std::string failure() { return {}; }
    virtual int channels() = 0;
    virtual int bits() = 0;
    virtual int rate() = 0;
    virtual int bit_rate() = 0;
};

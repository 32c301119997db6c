#pragma once
// What the screens see of the document: its commands and the values they show, and nothing of the
// audio graph, the player or the call monitor behind them. The document implements it; screen tests
// drive the screens through a small stand-in that needs no sound and no real time.
//
// GUI thread only, like the document itself.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "audio/peaks.h"
#include "document/document_event.h"
#include "document/record_entry.h"
#include "document/record_files.h"
#include "document/record_list.h"
#include "document/settings.h"
#include "document/storages.h"

class DocumentFace {
public:
    virtual ~DocumentFace() = default;

    virtual void add_observer(DocumentObserver* observer) = 0;
    virtual void remove_observer(DocumentObserver* observer) = 0;

    // ---- commands ----
    // A voice note, at once (not a call).
    virtual bool record_voice_note() = 0;
    virtual bool record_append() = 0;
    virtual void stop() = 0;
    virtual void set_paused(bool paused) = 0;
    virtual bool play(const std::u16string& path) = 0;
    // To a fraction (0 .. 1) of the playing stream; false without a playback.
    virtual bool seek(double fraction) = 0;
    // To a time in seconds (clamped to the stream); false without a playback.
    virtual bool seek_time(double seconds) = 0;
    // Deletes the current record; false, with it kept, when the file stays.
    virtual bool remove() = 0;
    // Renames the current record; false when the file or its tag kept the old title.
    virtual bool set_title(std::u16string_view title) = 0;
    virtual void rescan() = 0;
    virtual bool remove_record(const std::u16string& path) = 0;
    // The new path; empty when the file stayed where it was.
    virtual std::u16string move_record(const std::u16string& path, std::u16string_view folder) = 0;
    virtual void set_speakerphone(bool on) = 0;
    virtual void set_volume(double volume) = 0;
    virtual void set_vas_level(double fraction) = 0;

    // ---- settings: each changes the value at once; save_settings() stores them all ----
    // False, with the reason in os::reg_last_error(), when the registry would not take them.
    virtual bool save_settings() = 0;
    virtual void set_boost(std::u16string_view boost) = 0;
    // True when the launch entry followed the flag.
    virtual bool set_auto_record(bool enabled) = 0;
    // The "Speaker" choice (speakerphone on for calls); the phone itself is set_speakerphone's.
    virtual void set_speaker_choice(bool on) = 0;
    virtual void set_format(std::u16string_view format) = 0;
    // The speeds offered, in percent of normal, slowest first.
    virtual std::span<const int> playback_speeds() const = 0;
    virtual void set_playback_speed(int percent) = 0;
    virtual void set_skip_silence(bool skip) = 0;
    virtual const Settings& settings() const = 0;

    // ---- what the screens show ----
    virtual const RecordList& records() const = 0;
    virtual const RecordEntry& current_record() const = 0;
    virtual std::vector<StorageEntry> storages() const = 0;
    virtual bool is_recording() const = 0;
    // The recording continues an earlier one: its length so far is the current record's.
    virtual bool is_appending() const = 0;
    virtual bool is_playing() const = 0;
    virtual bool is_paused() const = 0;
    virtual bool is_talking() const = 0;
    virtual bool is_speaker_on() const = 0;
    // Voice activation holds the file back (a running, not paused recording hears only silence).
    virtual bool is_waiting_for_speech() const = 0;
    // Seconds recorded so far in this recording.
    virtual double recorded_seconds() = 0;
    // Captured audio not yet handed to the file writer, in bytes of PCM.
    virtual std::size_t queued_bytes() = 0;
    // The capture's level, 0 .. 1.
    virtual double input_level() = 0;
    virtual double vas_level() = 0;
    // The live waveform pairs captured since the last call, moved into pairs.
    virtual void take_live_peaks(std::vector<PeakPair>& pairs) = 0;
    // Seconds of the playing record heard so far; 0 without a playback.
    virtual double play_position() = 0;
    // The playback's level (the louder channel), 0 .. 1.
    virtual double output_level() = 0;
    virtual double volume() = 0;
    // The waveform of the current record: the record they belong to, the pairs made so far, how
    // many the whole record will have, and whether more are being made.
    // Takes in what the waveform's worker has made since; true when new pairs came.
    virtual bool poll_wave() = 0;
    virtual const std::u16string& wave_path() const = 0;
    virtual const std::vector<PeakPair>& wave_peaks() const = 0;
    virtual std::size_t expected_wave_peaks() const = 0;
    virtual bool is_computing_wave() const = 0;
};

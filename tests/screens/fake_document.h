#pragma once
// A stand-in for the document that the screens can be driven against without audio: it keeps the
// values the screens read in plain members the test sets, carries out the commands on them the way
// the document would (a play makes it playing, a stop ends that and tells the observers), and keeps
// a log of the commands so a test can see what a screen asked for.
#include <string>
#include <vector>

#include "document/document_face.h"

namespace screen_test {

class FakeDocument final : public DocumentFace {
public:
    void add_observer(DocumentObserver* observer) override { m_observers.push_back(observer); }
    void remove_observer(DocumentObserver* observer) override;
    // Sends an event to the observers, in the order they were added.
    void notify(int32_t code, int32_t parameter = 0);

    bool record_voice_note() override;
    bool record_append() override;
    void stop() override;
    void set_paused(bool paused) override;
    bool play(const std::u16string& path) override;
    bool seek(double fraction) override;
    bool seek_time(double seconds) override;
    bool remove() override;
    bool set_title(std::u16string_view title) override;
    void rescan() override;
    bool remove_record(const std::u16string& path) override;
    std::u16string move_record(const std::u16string& path, std::u16string_view folder) override;
    void set_speakerphone(bool on) override;
    void set_volume(double value) override { volume_value = value; }
    void set_vas_level(double fraction) override { vas = fraction; }

    bool save_settings() override;
    void set_boost(std::u16string_view boost) override { values.boost = std::u16string(boost); }
    bool set_auto_record(bool enabled) override;
    void set_speaker_choice(bool on) override { values.speaker = on ? 1 : 0; }
    void set_format(std::u16string_view format) override { values.format = std::u16string(format); }
    std::span<const int> playback_speeds() const override { return speeds; }
    void set_playback_speed(int percent) override { values.playback_speed = percent; }
    void set_skip_silence(bool skip) override { values.skip_silence = skip ? 1 : 0; }
    const Settings& settings() const override { return values; }

    const RecordList& records() const override { return list; }
    const RecordEntry& current_record() const override { return current; }
    std::vector<StorageEntry> storages() const override { return storage_list; }
    bool is_recording() const override { return recording; }
    bool is_appending() const override { return recording && appending; }
    bool is_playing() const override { return playing; }
    bool is_paused() const override { return paused; }
    bool is_talking() const override { return talking; }
    bool is_speaker_on() const override { return speaker_on; }
    bool is_waiting_for_speech() const override { return recording && !paused && waiting_for_speech; }
    double recorded_seconds() override { return seconds_recorded; }
    std::size_t queued_bytes() override { return queued; }
    double input_level() override { return level_in; }
    double vas_level() override { return vas; }
    void take_live_peaks(std::vector<PeakPair>& pairs) override;
    double play_position() override { return playing ? position : 0.0; }
    double output_level() override { return level_out; }
    double volume() override { return volume_value; }
    bool poll_wave() override { return false; }
    const std::u16string& wave_path() const override { return peaks_path; }
    const std::vector<PeakPair>& wave_peaks() const override { return peaks; }
    std::size_t expected_wave_peaks() const override { return peaks.size(); }
    bool is_computing_wave() const override { return false; }

    // Puts a record in the list (newest first) as a scan would, telling the observers.
    int add_record(RecordEntry entry);

    // The commands the screens gave, by name ("play", "stop", "rescan", ...), in order.
    std::vector<std::string> commands;
    // What the next commands answer.
    bool commands_succeed = true;
    bool settings_save = true;
    bool launch_entry_follows = true;
    int saves = 0;

    static constexpr int speeds[] = {75, 100, 125, 150, 200};
    Settings values;
    RecordList list;
    RecordEntry current;
    std::vector<StorageEntry> storage_list;
    bool recording = false;
    bool appending = false;
    bool playing = false;
    bool paused = false;
    bool talking = false;
    bool speaker_on = false;
    bool waiting_for_speech = false;
    double seconds_recorded = 0.0;
    std::size_t queued = 0;
    double level_in = 0.0;
    double level_out = 0.0;
    double vas = 0.0;
    double volume_value = 1.0;
    double position = 0.0;
    // Handed out (appended) at the next take_live_peaks.
    std::vector<PeakPair> live_peaks;
    std::u16string peaks_path;
    std::vector<PeakPair> peaks;

private:
    std::vector<DocumentObserver*> m_observers;
};

}  // namespace screen_test

#pragma once
// The document: the program's model and its only controller of audio. It owns the audio graph and
// wires it for recording or playback, keeps the current record and the list of all records,
// executes the commands of the screens, the command line and the call monitor, watches the audio
// engine on a 0.2 s timer, and reports every change to its observers as numbered events.
//
// GUI thread only. Nothing in the audio engine calls back: the document polls. It needs the
// process's CActiveScheduler from construction to destruction.
//
//     Document document;                       // first loading phase
//     document.add_observer(&screen);
//     document.load_secondary_things();        // settings, launch entry, record scan
//     document.record(false, u"", u"", 0);     // a voice note
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audio/active_buffer.h"
#include "audio/boost_filter.h"
#include "audio/duration_filter.h"
#include "audio/level_filter.h"
#include "audio/playback_shaper.h"
#include "audio/player_pcm.h"
#include "audio/voice_activation_gate.h"
#include "core/singleton.h"
#include "core/timer.h"
#include "document/document_event.h"
#include "document/document_face.h"
#include "document/folder_scanner.h"
#include "document/peak_keeper.h"
#include "document/record_entry.h"
#include "document/record_list.h"
#include "document/settings.h"
#include "document/sound_player.h"
#include "document/storages.h"
#include "os/folder_watcher.h"
#include "os/power/sleep_inhibitor.h"
#include "telephony/call_monitor.h"

class FileReader;
class RecordCache;
class RecorderPCM;
class RecordingWriter;
class SpeakerPhone;

class UnfinishedRecording;

class Document final : public Singleton<Document>,
                       public DocumentFace,
                       public CallMonitorObserver,
                       private TimerObserver,
                       private os::FolderScannerObserver,
                       private os::FolderWatcherObserver {
public:
    static constexpr double poll_seconds = 0.2;
    // How often buffered audio is made durable in the file while recording (it is pushed into
    // the file on every poll).
    static constexpr double checkpoint_seconds = 1.0;
    // A call recording of a call connected for less than this is a flapping stack's, and dropped.
    static constexpr double shortest_call_seconds = 0.5;

    // Runs the first loading phase.
    Document();
    ~Document() override;

    void add_observer(DocumentObserver* observer) override;
    void remove_observer(DocumentObserver* observer) override;

    // Settings.
    void load_first_things();
    void load_secondary_things();
    // False, with the reason in os::reg_last_error(), when the registry would not take them.
    bool save_settings() override;
    void set_boost(std::u16string_view boost) override;
    // True when the launch entry followed the flag.
    bool set_auto_record(bool enabled) override;
    Settings& settings() { return m_settings; }
    const Settings& settings() const override { return m_settings; }
    void set_speaker_choice(bool on) override { m_settings.speaker = on ? 1 : 0; }
    void set_format(std::u16string_view format) override { m_settings.format = std::u16string(format); }
    // Records new files in this format instead of the "Format" setting's (the tool's --format);
    // nothing restores the setting's.
    void set_record_format(std::optional<RecordFormat> format) { m_format_override = std::move(format); }
    RecordFormat record_format() const;

    // Commands.
    bool record(bool call, std::u16string name, std::u16string number, CallDirection direction);
    bool record_voice_note() override { return record(false, u"", u"", call_direction_none); }
    bool record_append() override;
    void stop() override;
    void set_paused(bool paused) override;
    bool play(const std::u16string& path) override;
    // Moves the playback to a fraction (0 .. 1) of the stream: the reader goes to the whole length
    // unit nearest below length × fraction. False without a playback.
    bool seek(double fraction) override;
    // Moves the playback to a time (seconds, clamped to the stream), at the first sample at or after
    // it. False without a playback.
    bool seek_time(double seconds) override;
    // False, with the record left in the list, when the file cannot be deleted.
    bool remove() override;
    // False when the file could not be renamed or its tag not written; the file, the list and
    // "Path" are then as they were.
    bool set_title(std::u16string_view title) override;
    void handle_command_line(std::u16string_view text);
    // Makes the record at path the current one, as a selection in the list does, with its tags
    // and, when a reader accepts the file, its stream format. False when the file cannot be read.
    // `remember` stores the path in "Path" as the list does.
    bool select(const std::u16string& path, bool remember = true);
    void set_speakerphone(bool on) override;
    // Playback at a percent of normal speed (the nearest of PlaybackShaper::speeds) with the pitch
    // kept, and with silences longer than a second shortened; both become settings (saved with
    // save_settings) and hold for the playback under way at once.
    void set_playback_speed(int percent) override;
    std::span<const int> playback_speeds() const override { return PlaybackShaper::speeds; }
    void set_skip_silence(bool skip) override;

    void on_call_start(const std::u16string& name, const std::u16string& number, CallDirection direction) override;
    void on_call_stop() override;

    // Records and storage. The list is built from the record cache where it knows the files;
    // from load_secondary_things() on, changes that other programs make in the recordings
    // folders reach the list at the next poll, with the events a scan would send.
    std::vector<StorageEntry> storages() const override;
    void rescan() override;
    // Deletes the file of the listed record at path and takes it off the list (a file already gone
    // counts as deleted); a recording or playback of it ends first. False, with the record kept,
    // when the file stays.
    bool remove_record(const std::u16string& path) override;
    // Moves the listed record's file into folder under the same name (made unique as new files'
    // names are) and lists it there. Empty, with file and list as they were, when the file cannot
    // be moved (a copy that did not fit is removed, so the record is never left half-copied).
    // A file being recorded is not moved.
    std::u16string move_record(const std::u16string& path, std::u16string_view folder) override;
    const RecordList& records() const override { return m_records; }
    bool is_scanning() const { return m_scanner.is_scanning(); }
    // The longest time one step-wise scan slice held the GUI thread, in seconds: on the clock,
    // and of the thread's own running time.
    double longest_scan_slice() const { return m_scanner.longest_slice_seconds(); }
    double longest_scan_slice_cpu() const { return m_scanner.longest_slice_cpu_seconds(); }

    // State for the screens.
    bool is_recording() const override { return m_writer != nullptr; }
    // The recording continues an earlier one (Append): its length so far is the current record's.
    bool is_appending() const override { return is_recording() && !m_recording_new; }
    bool is_playing() const override { return m_reader != nullptr; }
    bool is_paused() const override { return m_paused; }
    bool is_recording_call() const { return m_recording_call; }
    // The last recording lost its capture for a while (the sound server went away).
    bool had_capture_gap() const { return m_capture_gap; }
    bool is_talking() const override { return m_talking; }
    bool is_speaker_on() const override { return m_speaker_state; }
    const RecordEntry& current_record() const override { return m_current; }
    LevelFilter& level() { return m_level; }
    // Captured audio not yet handed to the file writer, in bytes of PCM.
    std::size_t queued_bytes() override { return m_buffer.queued_bytes(); }
    DurationFilter& duration() { return m_duration; }
    // Voice activation holds the file back: a running, not paused recording hears only silence.
    bool is_waiting_for_speech() const override { return is_recording() && !m_paused && !m_gate.is_linked(); }
    // The waveform peaks of the current record (recorded so far, or of the file played).
    PeakKeeper& peaks() { return m_peaks; }
    PlayerPCM& player() { return m_player; }
    FileReader* reader() { return m_reader.get(); }
    // Seconds of the playing record heard so far: the reader's position less what the player holds
    // still unheard; 0 without a playback.
    double play_position() override;
    // The running values as the screens read them.
    double recorded_seconds() override { return m_duration.total(); }
    double input_level() override { return m_level.current_level(); }
    double vas_level() override { return m_level.vas_level(); }
    void set_vas_level(double fraction) override { m_level.set_vas_level(fraction); }
    void take_live_peaks(std::vector<PeakPair>& pairs) override { m_level.take_live_peaks(pairs); }
    double output_level() override { return std::max(m_player.level(0), m_player.level(1)); }
    double volume() override { return m_player.volume(); }
    void set_volume(double volume) override { m_player.set_volume(volume); }
    bool poll_wave() override { return m_peaks.poll(); }
    const std::u16string& wave_path() const override { return m_peaks.path(); }
    const std::vector<PeakPair>& wave_peaks() const override { return m_peaks.peaks(); }
    std::size_t expected_wave_peaks() const override { return m_peaks.expected(); }
    bool is_computing_wave() const override { return m_peaks.is_computing(); }
    const SleepInhibitor& sleep_inhibitor() const { return m_sleep_inhibitor; }
    CallMonitor& call_monitor() { return *m_call_monitor; }

    // Set by the start-up when the program was started for a call: when that call ends and the
    // main window is not active, the program quits.
    void set_started_for_call(bool flag) { m_started_for_call = flag; }
    bool started_for_call() const { return m_started_for_call; }
    // How the document asks whether the main window is active and posts the quit message. Without
    // them the window counts as inactive and quitting ends the scheduler's loop.
    void set_window_hooks(std::function<bool()> is_window_active, std::function<void()> post_quit);
    // Called with the caller's name (else number) when a call that automatic recording applies to
    // could not be recorded (not for a "NeverRecord" number).
    void set_call_not_recorded_hook(std::function<void(const std::u16string& caller)> hook) {
        m_call_not_recorded = std::move(hook);
    }

private:
    bool seek_position(std::int64_t position);
    void on_timer(Timer& timer) override;
    void on_file(std::u16string_view path) override;
    void on_finished() override;
    void on_file_added(std::u16string_view path) override;
    void on_file_removed(std::u16string_view path) override;
    void on_folder_added(std::u16string_view path) override;
    void on_folder_removed(std::u16string_view path) override;
    void on_changes_lost() override;
    // Opened at the first use; null only between construction and then.
    RecordCache& record_cache();
    // Times the scan from here when none runs.
    void note_scan_start();
    // A step-wise scan of the folder, timed from here when none runs.
    void scan_folder(std::u16string_view folder);
    void log_scan_end(std::chrono::steady_clock::time_point began);

    void notify(int32_t code, int32_t parameter = 0);
    void end_with(int32_t code);
    bool has_card_problem() const;
    // Creates the recorder for the current record, links it into the chain and starts capture;
    // false when it cannot start.
    bool open_recorder(bool fresh);
    // Ends capture; with keep_audio what was captured up to now still goes down the chain.
    void close_recorder(bool keep_audio);
    // Ends a recording that could not start and deletes its file.
    void fail_recording();
    // Deletes the file of a new recording that never got audio and takes it off the list.
    void remove_empty_recording();
    // The list learns the finished recording's length and size (its row said "recording").
    void update_listed_length();
    void poll_playback();
    void poll_recording();
    void poll_phone();
    // A capture that failed mid-recording is ended, and a new one tried on every poll.
    void poll_capture();
    // The call ended; seen_by_monitor when the call monitor told it (it saw the call begin too).
    void end_call(bool seen_by_monitor);

    Settings m_settings;
    std::optional<RecordFormat> m_format_override;

    BoostFilter m_boost;
    LevelFilter m_level;
    DurationFilter m_duration;
    ActiveBuffer m_buffer;
    PlayerPCM m_player;
    PlaybackShaper m_shaper;
    VoiceActivationGate m_gate{m_level, m_duration};
    std::unique_ptr<CallMonitor> m_call_monitor;
    std::unique_ptr<SpeakerPhone> m_speaker_phone;

    // Created before the writer and destroyed first, so capture ends before the file does.
    std::unique_ptr<RecordingWriter> m_writer;
    // The note that lets the next start repair this recording's file if the process is killed.
    std::unique_ptr<UnfinishedRecording> m_unfinished;
    std::unique_ptr<RecorderPCM> m_recorder;
    std::unique_ptr<FileReader> m_reader;
    BeepPlayer m_beeps;
    // Held while a recording or playback runs, so a phone does not suspend under it.
    SleepInhibitor m_sleep_inhibitor;

    std::unique_ptr<RecordCache> m_cache;
    PeakKeeper m_peaks;
    std::vector<PeakPair> m_peak_scratch;
    os::FolderScanner m_scanner{*this};
    os::FolderWatcher m_watcher{*this};
    std::chrono::steady_clock::time_point m_scan_began;
    size_t m_files_read_before_scan = 0;
    RecordList m_records;
    RecordEntry m_current;
    std::vector<DocumentObserver*> m_observers;
    Timer m_poll{*this};
    int m_ticks_since_checkpoint = 0;

    bool m_paused = false;
    bool m_recording_call = false;
    // Capture takes the call's mix (a recording made while a call is connected), not the microphone.
    bool m_recording_both_sides = false;
    // The tick (os/tick.h) at which the running recording started.
    uint32_t m_call_started_at = 0;
    bool m_capture_gap = false;
    uint32_t m_capture_lost_at = 0;
    // Failed tries to open the capture again since it was lost, and when the last one was.
    int32_t m_capture_retries = 0;
    uint32_t m_capture_retried_at = 0;
    // The recording runs into a file of its own (not appended to an earlier one).
    bool m_recording_new = false;
    bool m_started_for_call = false;
    bool m_talking = false;
    bool m_speaker_state = false;
    std::function<bool()> m_is_window_active;
    std::function<void()> m_post_quit;
    std::function<void(const std::u16string&)> m_call_not_recorded;
    // The last refusal of record() was the user's choice ("NeverRecord"), not a failure.
    bool m_refused_by_choice = false;
};

#include "document/document.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "audio/mp3/id3_tag.h"
#include "audio/readers/file_reader.h"
#include "audio/recorder_pcm.h"
#include "audio/tags/file_tags.h"
#include "core/active_scheduler.h"
#include "document/never_record.h"
#include "document/record_cache.h"
#include "document/record_files.h"
#include "document/record_repair.h"
#include "document/recording_writer.h"
#include "document/sound_player.h"
#include "document/tag_title.h"
#include "document/unfinished_recordings.h"
#include "os/event.h"
#include "os/file.h"
#include "os/file_system.h"
#include "os/log.h"
#include "os/path.h"
#include "os/registry.h"
#include "os/stopwatch.h"
#include "os/text.h"
#include "os/tick.h"
#include "telephony/call_monitor_impl.h"
#include "telephony/contacts/contacts_session.h"
#include "telephony/speaker_phone.h"

namespace {
constexpr std::u16string_view start_beep = u"%app_path%/Voicbeep.wav";
constexpr std::u16string_view end_beep = u"%app_path%/RecEnd.wav";
// The drain after capture ends is short in practice; the limit only keeps a wedged writer from
// hanging the GUI for good.
constexpr double drain_limit_seconds = 60.0;

// The "Incoming" or "Outgoing" folder of call recordings: no one else may list or open them.
void make_private_folder_of(const std::u16string& folder) {
    if (os::file_name_of(folder) == u"Incoming" || os::file_name_of(folder) == u"Outgoing") {
        os::make_folder_private(folder);
    }
}

std::u16string extension_for(std::u16string_view codec) { return codec == u"mp3" ? u"mp3" : u"wav"; }

// The contact picture of a caller, for the tag of a call recording; empty when there is none.
std::vector<uint8_t> caller_picture(std::u16string_view number) {
    if (number.empty()) return {};
    ContactsSession session;
    ContactRecord contact;
    if (!find_contact_by_phone(session, number, contact)) return {};
    return contact_picture(session, contact.object_id);
}
}  // namespace

Document::Document()
    : m_call_monitor(std::make_unique<CallMonitor>(this)),
      m_speaker_phone(std::make_unique<SpeakerPhone>()),
      m_peaks(RecordCache::default_path()) {
    connect(m_boost, &m_level);
    connect(m_duration, &m_buffer);
    connect(m_shaper, &m_player);
    load_first_things();
    m_talking = m_call_monitor->is_talking();
    m_speaker_state = m_call_monitor->is_speaker_on();
    m_poll.after(poll_seconds);
}

Document::~Document() {
    stop();
    m_poll.cancel();
    connect(m_duration, nullptr);
    connect(m_boost, nullptr);
    connect(m_shaper, nullptr);
    // The speakerphone session shuts down with its object.
}

void Document::add_observer(DocumentObserver* observer) { m_observers.push_back(observer); }

void Document::remove_observer(DocumentObserver* observer) { std::erase(m_observers, observer); }

void Document::notify(int32_t code, int32_t parameter) {
    // An observer may add or remove observers while it handles the event.
    const std::vector<DocumentObserver*> observers = m_observers;
    const DocumentEvent event{code, parameter};
    for (DocumentObserver* observer : observers) {
        if (std::find(m_observers.begin(), m_observers.end(), observer) != m_observers.end()) {
            observer->on_document_event(event);
        }
    }
}

void Document::set_window_hooks(std::function<bool()> is_window_active, std::function<void()> post_quit) {
    m_is_window_active = std::move(is_window_active);
    m_post_quit = std::move(post_quit);
}

// ---- settings -------------------------------------------------------------------------------

void Document::load_first_things() {
    const Stopwatch watch;
    m_settings.load_first();
    // The program runs on with the defaults of what it could not read, but says so.
    if (!m_settings.read_error.empty()) os::log() << u"load_first_things: " << m_settings.read_error << u"\n";
    m_boost.set_boost(boost_factor_of(m_settings.boost));
    m_level.set_vas_level(m_settings.vas_level);
    os::log() << u"load_first_things:" << static_cast<long long>(watch.elapsed() * 1000) << u"\n";
}

void Document::load_secondary_things() {
    const Stopwatch watch;
    m_settings.load_secondary();
    m_player.set_volume(m_settings.volume);
    m_shaper.set_speed(m_settings.playback_speed);
    m_shaper.set_skip_silence(m_settings.skip_silence != 0, m_level.vas_level());
    set_auto_record(m_settings.auto_record != 0);
    if (m_current.path.empty()) m_current.path = read_current_path();
    // Before the list reads them: the files of recordings a kill cut short tell their real length.
    heal_unfinished_recordings();
    // Every file the scan meets is noted, so its end can drop the cached files that are gone.
    record_cache().begin_sweep();
    for (const StorageEntry& storage : storages()) {
        // Watched before it is read, so nothing done to it meanwhile goes unnoticed.
        m_watcher.watch(storage.path);
        scan_folder(storage.path);
    }
    os::log() << u"load_secondary_things:" << static_cast<long long>(watch.elapsed() * 1000) << u"\n";
}

bool Document::save_settings() {
    m_settings.volume = m_player.volume();
    m_settings.vas_level = m_level.vas_level();
    if (!m_settings.save() || !flush_settings()) {
        os::log() << u"save_settings: " << os::reg_last_error() << u"\n";
        return false;
    }
    return true;
}

void Document::set_boost(std::u16string_view boost) {
    m_settings.boost = std::u16string(boost);
    m_boost.set_boost(boost_factor_of(boost));
}

bool Document::set_auto_record(bool enabled) {
    if (!m_call_monitor->set_call_launch(enabled)) return false;
    m_settings.auto_record = enabled ? 1 : 0;
    return true;
}

RecordFormat Document::record_format() const {
    return m_format_override ? *m_format_override : record_format_of(m_settings.format);
}

// ---- recording ------------------------------------------------------------------------------

bool Document::record(bool call, std::u16string name, std::u16string number, CallDirection direction) {
    if (is_recording()) return false;
    if (direction == call_direction_none) direction = m_call_monitor->query_call_state(name, number);

    std::u16string prefix = !name.empty() ? name : !number.empty() ? number : u"Record";
    std::u16string subfolder;
    if (direction == call_direction_incoming) subfolder = u"Incoming";
    if (direction == call_direction_outgoing) subfolder = u"Outgoing";
    if (direction == call_direction_none && call) return false;
    if (call && is_never_recorded(number)) {
        os::log() << u"record: never recorded automatically: " << number << u"\n";
        m_refused_by_choice = true;
        return false;
    }
    os::log() << u"record prefix:" << prefix << u" subfolder:" << subfolder << u"\n";

    std::u16string store;
    const std::u16string folder = record_folder(subfolder, &store);
    if (folder.empty()) return false;
    os::log() << u"record folder:" << folder << u" store_path:" << store << u"\n";

    const os::DateTime moment = os::now();
    const std::u16string title = record_title_of(moment);
    const RecordFormat format = record_format();
    // The date and time stay in the name whatever the length of the caller's name.
    const std::u16string path =
        make_record_path(prefix + u" " + title, folder, extension_for(format.codec), title.size() + 1);

    RecordEntry current;
    current.path = path;
    current.artist = prefix;
    current.title = title;
    current.album = subfolder.empty() ? u"Record" : subfolder;
    current.size_text = format.codec;
    current.channels = format.channels;
    current.rate = format.rate;
    current.bits = format.bits;
    current.bit_rate = format.bit_rate;
    m_current = current;

    if (call) make_private_folder_of(folder);
    stop();
    m_current = current;
    m_recording_call = call;
    // Whatever is recorded while a call is connected is that call: both of its sides.
    m_recording_both_sides = call || direction != call_direction_none;
    m_recording_new = true;
    m_call_started_at = os::tick_count();
    // Capture begins before anything else that takes time (the file, the address book, the tag,
    // the file writer, a beep): the buffer keeps the audio until the file can take it.
    m_buffer.hold(true);
    if (!open_recorder(true)) {
        os::log() << u"record: the recorder could not start\n";
        fail_recording();
        return false;
    }
    {
        // The file appears with its tag whole: whoever sees it can read who the call was with.
        os::File file(path, os::File::Write);
        if (!file.is_open()) {
            os::log() << u"record: cannot create " << path << u"\n";
            fail_recording();
            return false;
        }
        // What was said on a call is the user's alone; a voice note is as private as any document.
        if (call) file.make_private();
        os::log() << u"Document::record file created:" << path << u"\n";
        if (format.codec == u"mp3") {
            const Stopwatch watch;
            Id3Tag tag;
            fill_new_record_tag(tag, current.artist, current.title, current.album, moment, caller_picture(number));
            tag.write(file);
            os::log() << u"id3:" << static_cast<long long>(watch.elapsed() * 1000) << u"\n";
        }
    }
    m_unfinished = UnfinishedRecording::begin(path, format.codec, {});
    // A WAV recording writes its own header when the first audio arrives; MP3 goes after the tag.
    m_writer = RecordingWriter::create(path, format.codec, format.bit_rate, format.codec == u"mp3");
    if (!m_writer || !m_writer->is_valid()) {
        os::log() << u"record: the file writer could not start\n";
        fail_recording();
        return false;
    }
    connect(m_buffer, &m_writer->input());
    m_buffer.hold(false);
    // A call's far side would hear nothing of it, but the recording would start with it over the
    // caller's first words: calls begin silently.
    if (!call) m_beeps.play(start_beep);
    write_current_path(path);
    m_peaks.begin_recording(path, false);
    const int index = m_records.insert(record_entry(path, false));
    notify(DocumentEvent::RecordingStarted, index);
    return true;
}

bool Document::record_append() {
    stop();
    m_unfinished = UnfinishedRecording::begin(m_current.path, m_current.size_text,
                                              bytes_taken_by_append(m_current.path, m_current.size_text));
    m_writer = RecordingWriter::create(m_current.path, m_current.size_text, m_current.bit_rate, true);
    if (!m_writer || !m_writer->is_valid()) {
        const RecordFormat format = record_format();
        m_current.size_text = format.codec;
        m_current.channels = format.channels;
        m_current.rate = format.rate;
        m_current.bits = format.bits;
        m_current.bit_rate = format.bit_rate;
        m_writer.reset();
        stop();
        return false;
    }
    // Before the recorder starts, while the file is as the cache knows it.
    m_peaks.begin_recording(m_current.path, true);
    m_recording_both_sides = m_call_monitor->is_talking();
    connect(m_buffer, &m_writer->input());
    if (!open_recorder(true)) {
        stop();
        return false;
    }
    m_beeps.play(start_beep);
    write_current_path(m_current.path);
    notify(DocumentEvent::AppendStarted);
    return true;
}

bool Document::open_recorder(bool fresh) {
    // Taken up again after its server went away, a call capture waits for the server: the
    // microphone alone would lose the far side for the rest of the call.
    const CaptureSource source = !m_recording_both_sides ? CaptureSource::microphone
                                 : fresh                 ? CaptureSource::call_both_sides
                                                         : CaptureSource::call_both_sides_only;
    m_recorder = RecorderPCM::create(m_current.channels, m_current.rate, m_current.bits, source);
    if (!m_recorder) return false;
    if (fresh) {
        m_duration.reset();
        m_capture_gap = false;
    }
    connect(*m_recorder, &m_boost);
    m_gate.link();
    m_ticks_since_checkpoint = 0;
    if (!m_recorder->start()) return false;
    m_sleep_inhibitor.hold();
    return true;
}

void Document::fail_recording() {
    // Capture may have begun before the file writer failed: it ends here, and nothing of it is kept.
    close_recorder(false);
    m_buffer.start();
    m_gate.unlink();
    m_writer.reset();
    m_recording_new = false;
    stop();
    os::log() << u"os::delete_file 2\n";
    os::delete_file(m_current.path);
}

void Document::close_recorder(bool keep_audio) {
    if (!m_recorder) return;
    // What the device captured up to this moment goes down the chain first, and what the boost
    // node still holds back follows it: a recording ends where the stop came.
    if (keep_audio) m_recorder->finish();
    connect(*m_recorder, nullptr);
    m_recorder.reset();
    if (keep_audio) m_boost.flush();
}

void Document::stop() {
    os::log() << u"Document::stop\n";
    m_paused = false;
    m_recording_call = false;
    m_recording_both_sides = false;
    if (m_reader) {
        m_player.stop();
        connect(m_reader->output(), nullptr);
        m_reader.reset();
        m_shaper.clear();
    }
    if (m_writer) {
        if (m_recorder) {
            close_recorder(true);
            // The beep plays on while the file is finished and the GUI goes on.
            m_beeps.play(end_beep);
        }
        // Every block captured so far goes into the file before the writer closes it.
        m_buffer.hold(false);
        const Stopwatch watch;
        while (m_buffer.queued_blocks() > 0 && watch.elapsed() < drain_limit_seconds) sleep_seconds(0.01);
        // Nothing reached the writer: the file holds at most a tag, which nothing can play.
        const bool empty = m_recording_new && m_duration.total() <= 0.0;
        m_recording_new = false;
        m_peak_scratch.clear();
        m_duration.finish_peaks(m_peak_scratch);
        m_peaks.add_recorded(m_peak_scratch);
        m_boost.reset();
        m_buffer.start();
        connect(m_buffer, nullptr);
        m_writer.reset();
        // The file is whole now: its peaks are kept for this version of it.
        m_peaks.end_recording();
        m_gate.unlink();
        if (m_settings.speaker) set_speakerphone(false);
        if (empty) {
            remove_empty_recording();
        } else {
            update_listed_length();
        }
    }
    // The writer has closed the file (or never opened it): nothing is left to repair.
    m_unfinished.reset();
    m_sleep_inhibitor.release();
    notify(DocumentEvent::Stopped);
}

void Document::remove_empty_recording() {
    os::log() << u"os::delete_file empty recording " << m_current.path << u"\n";
    os::delete_file(m_current.path);
    const int index = m_records.find(m_current.path);
    if (index < 0) return;
    m_records.remove_at(static_cast<size_t>(index));
    notify(DocumentEvent::RecordDeleted, index);
}

void Document::set_paused(bool paused) {
    m_paused = paused;
    if (is_recording()) {
        if (paused) {
            m_gate.unlink();
        } else {
            m_gate.link();
        }
    } else if (is_playing()) {
        if (paused) {
            m_player.pause();
        } else {
            m_player.play();
        }
    }
    notify(DocumentEvent::PausedOrResumed);
}

// ---- playback and the current record --------------------------------------------------------

bool Document::select(const std::u16string& path, bool remember) {
    RecordEntry entry = record_entry(path);
    if (!entry.valid) return false;
    if (std::unique_ptr<FileReader> reader = FileReader::open(entry.path)) {
        entry.size_text = reader->codec();
        entry.channels = reader->info().channels();
        entry.rate = reader->info().rate();
        entry.bits = reader->info().bits();
        entry.bit_rate = reader->info().bit_rate();
        entry.duration = reader->info().duration();
    }
    m_current = std::move(entry);
    if (remember) write_current_path(m_current.path);
    return true;
}

bool Document::play(const std::u16string& path) {
    stop();
    m_current = record_entry(path);
    m_reader = FileReader::open(m_current.path);
    // A reader that found no sound format (an empty or foreign file) has nothing to play: the
    // screens say so instead of showing an empty playback.
    if (m_reader && (m_reader->info().rate() <= 0 || m_reader->info().channels() <= 0)) {
        os::log() << u"play: no sound in " << m_current.path << u"\n";
        m_reader.reset();
    }
    if (!m_reader) {
        stop();
        return false;
    }
    m_current.size_text = m_reader->codec();
    m_current.channels = m_reader->info().channels();
    m_current.rate = m_reader->info().rate();
    m_current.bits = m_reader->info().bits();
    m_current.bit_rate = m_reader->info().bit_rate();
    m_current.duration = m_reader->info().duration();
    connect(m_reader->output(), &m_shaper);
    m_player.play();
    m_sleep_inhibitor.hold();
    m_peaks.open(m_current.path, m_current.duration);
    return true;
}

double Document::play_position() {
    if (!m_reader) return 0.0;
    // The player pulls under its lock: the reader's position and what was pulled agree under it.
    std::lock_guard guard(m_player.lock());
    // To the microsecond: sums of sample counts must not fall a hair short of a whole second.
    const double heard = std::round((m_reader->info().time() - m_player.buffered_seconds()) * 1e6) / 1e6;
    const double duration = m_reader->info().duration();
    return std::clamp(heard, 0.0, duration > 0 ? duration : std::max(0.0, heard));
}

bool Document::seek_time(double seconds) {
    if (!m_reader) return false;
    const double duration = m_reader->info().duration();
    if (!std::isfinite(seconds) || !(duration > 0)) return seek(0.0);
    // Rounded up to the next sample, so that the position shown afterwards is the one asked for.
    const auto length = static_cast<double>(m_reader->info().length());
    const double fraction = std::clamp(seconds / duration, 0.0, 1.0);
    return seek_position(std::min(m_reader->info().length(), static_cast<std::int64_t>(std::ceil(length * fraction))));
}

bool Document::seek(double fraction) {
    if (!m_reader) return false;
    if (!std::isfinite(fraction)) fraction = 0.0;
    fraction = std::clamp(fraction, 0.0, 1.0);
    const auto length = static_cast<double>(m_reader->info().length());
    return seek_position(static_cast<std::int64_t>(std::floor(length * fraction)));
}

bool Document::seek_position(std::int64_t position) {
    // With the player's lock held from its drop to the reader's move, no block of the old
    // position can be pulled in between.
    std::lock_guard guard(m_player.lock());
    m_player.seek_follows();
    m_shaper.clear();
    return m_reader->seek(position);
}

bool Document::remove() {
    const int index = m_records.find(m_current.path);
    if (index < 0) return false;
    // The file in use goes away with its recording or playback, not from under it.
    if (is_recording() || is_playing()) stop();
    os::log() << u"os::delete_file in Document::remove\n";
    if (!os::delete_file(m_current.path) && os::exists(m_current.path)) {
        // A file that stays must stay listed: the list shows what is on the disk.
        os::log() << u"remove: cannot delete " << m_current.path << u"\n";
        return false;
    }
    m_records.remove_at(static_cast<size_t>(index));
    m_peaks.forget(m_current.path);
    notify(DocumentEvent::RecordDeleted, index);
    return true;
}

bool Document::set_title(std::u16string_view title) {
    if (title == m_current.title) return true;
    const int index = m_records.find(m_current.path);
    if (index < 0) return false;
    const std::u16string cleaned = clean_title(title);
    const std::u16string old_path = m_current.path;
    // A record without an artist is named by its title alone, not after a leading space; the name
    // it has already is free for it.
    const std::u16string name = m_current.artist.empty() ? cleaned : m_current.artist + u" " + cleaned;
    const std::u16string new_path =
        make_record_path(name, os::folder_of(old_path), os::extension_of(old_path), 0, old_path);
    // The name first: a folder that cannot be written refuses it before anything has changed. Then
    // the tag; when that fails the file gets its old name back, so name and title still agree.
    if (new_path != old_path && !os::move_file(old_path, new_path)) {
        os::log() << u"set_title: cannot move " << old_path << u" to " << new_path << u"\n";
        return false;
    }
    // Our own ID3v2.3/2.4 writer keeps a recording's tag layout (and its padding) as it is; tags of
    // other kinds and other programs' layouts go through the tag library.
    const bool retitled =
        has_foreign_tags(new_path) ? write_file_title(new_path, cleaned) : rewrite_tag_title(new_path, cleaned);
    if (!retitled) {
        os::log() << u"set_title: cannot write the tag of " << new_path << u"\n";
        if (new_path != old_path) os::move_file(new_path, old_path);
        return false;
    }
    RecordEntry& entry = m_records.at(static_cast<size_t>(index));
    entry.title = cleaned;
    m_current.title = cleaned;
    m_records.rename_at(static_cast<size_t>(index), new_path);
    m_peaks.renamed(old_path, new_path);
    m_current.path = new_path;
    if (m_unfinished) m_unfinished->renamed(new_path);
    write_current_path(new_path);
    notify(DocumentEvent::RecordRenamed, index);
    return true;
}

// ---- commands from outside ------------------------------------------------------------------

void Document::handle_command_line(std::u16string_view text) {
    if (text.substr(0, 4) == u"call") {
        record(true, u"", u"", call_direction_none);
        if (is_recording() && m_settings.speaker) set_speakerphone(true);
    } else if (text.substr(0, 6) == u"record") {
        if (is_recording()) {
            set_paused(!m_paused);
        } else {
            record(false, u"", u"", call_direction_none);
        }
    }
}

void Document::on_call_start(const std::u16string& name, const std::u16string& number, CallDirection direction) {
    os::log() << u"on_call_start " << name << u" " << number << u" " << direction << u" " << os::tick_count() << u"\n";
    m_refused_by_choice = false;
    if (m_settings.auto_record && !record(true, name, number, direction) && !is_recording()) {
        // Never silently: a call that goes unrecorded is in the log, with the reason just above,
        // and one that should have been recorded is told to the user too.
        const std::u16string caller = name.empty() ? number : name;
        os::log() << u"on_call_start: the call with " << caller << u" is not recorded\n";
        if (!m_refused_by_choice && m_call_not_recorded) m_call_not_recorded(caller);
    }
    if (is_recording() && m_settings.speaker) set_speakerphone(true);
}

void Document::on_call_stop() { end_call(true); }

void Document::end_call(bool seen_by_monitor) {
    os::log() << u"on_call_stop\n";
    if (m_recording_call) {
        // A call connected for less than a moment is a stack flapping between states, not a
        // conversation: its piece of a recording is not kept. The monitor tells an end only once
        // the call has been gone for its hold, which the recording ran on through.
        const double seconds = static_cast<int32_t>(os::tick_count() - m_call_started_at) / 1000.0 -
                               (seen_by_monitor ? CallMonitorImpl::end_hold_seconds : 0.0);
        const bool fragment = seen_by_monitor && m_recording_new && seconds < shortest_call_seconds;
        stop();
        if (fragment && os::exists(m_current.path)) {
            os::log() << u"on_call_stop: a call of " << static_cast<long long>(seconds * 1000)
                      << u" ms is no conversation; its recording is not kept\n";
            remove_empty_recording();
        }
    }
    if (m_started_for_call) {
        m_started_for_call = false;
        const bool active = m_is_window_active && m_is_window_active();
        if (!active) {
            if (m_post_quit) {
                m_post_quit();
            } else if (CActiveScheduler* scheduler = CActiveScheduler::instance()) {
                scheduler->loop().quit();
            }
        }
    }
}

void Document::set_speakerphone(bool on) { m_speaker_phone->set(on); }

void Document::set_playback_speed(int percent) {
    int nearest = 100;
    for (int speed : PlaybackShaper::speeds) {
        if (std::abs(speed - percent) < std::abs(nearest - percent)) nearest = speed;
    }
    m_settings.playback_speed = nearest;
    m_shaper.set_speed(nearest);
}

void Document::set_skip_silence(bool skip) {
    m_settings.skip_silence = skip ? 1 : 0;
    // Silence is what voice activation would call silence, when it is on.
    m_shaper.set_skip_silence(skip, m_level.vas_level());
}

// ---- the poll -------------------------------------------------------------------------------

bool Document::has_card_problem() const {
    if (os::is_under(m_current.path, u"%my_documents%")) return false;
    return os::volume_size(os::folder_of(m_current.path)) == 0 || !os::exists(m_current.path);
}

void Document::end_with(int32_t code) {
    stop();
    if (!os::exists(m_current.path)) rescan();
    notify(code);
}

void Document::on_timer(Timer&) {
    m_poll.after(poll_seconds);
    // The audio threads log by the switch as last read here, so it is kept current.
    os::refresh_log_switch();
    m_watcher.check();
    m_peaks.poll();
    if (is_playing()) poll_playback();
    if (is_recording()) poll_recording();
    poll_phone();
}

void Document::poll_playback() {
    if (has_card_problem()) {
        os::log() << u"card_problem\n";
        end_with(DocumentEvent::CardProblem);
    } else if (!m_reader->info().is_valid()) {
        os::log() << u"reader no valid\n";
        stop();
    } else if (m_player.device_failed()) {
        os::log() << u"player failed: no output device\n";
        end_with(DocumentEvent::PlayerFailed);
    } else if (m_player.is_finished()) {
        os::log() << u"player finished\n";
        stop();
    }
}

void Document::poll_recording() {
    if (!m_writer->is_valid()) {
        if (has_card_problem()) {
            os::log() << u"card_problem\n";
            end_with(DocumentEvent::CardProblem);
        } else {
            os::log() << u"writer no valid active_buffer:" << m_buffer.queued_bytes() << u"\n";
            end_with(DocumentEvent::WriterFailed);
        }
        return;
    }
    if (!m_buffer.is_valid()) {
        os::log() << u"active_buffer no valid\n";
        end_with(DocumentEvent::BufferFailed);
        return;
    }
    // A card pulled out while the writer still has room in its buffer is noticed here, before the
    // next write fails.
    if (has_card_problem()) {
        os::log() << u"card_problem\n";
        end_with(DocumentEvent::CardProblem);
        return;
    }
    // In main memory a file that another program deleted takes the writes without a complaint, into
    // a file no one will ever see: the recording has failed, and says so.
    if (!os::exists(m_current.path)) {
        os::log() << u"recording file gone: " << m_current.path << u"\n";
        end_with(DocumentEvent::FileGone);
        return;
    }
    poll_capture();
    if (!m_paused) m_gate.tick();
    m_peak_scratch.clear();
    m_duration.take_peaks(m_peak_scratch);
    m_peaks.add_recorded(m_peak_scratch);
    // Every tick pushes what is buffered into the file (cheap: it lands in the page cache, and a
    // killed process then loses only the last moments); about once a second it is made durable.
    const bool durable = ++m_ticks_since_checkpoint * poll_seconds >= checkpoint_seconds - 1e-9;
    if (durable) m_ticks_since_checkpoint = 0;
    m_writer->checkpoint(durable);
}

void Document::poll_capture() {
    if (m_recorder && !m_recorder->is_ok()) {
        // Lost mid-recording (the sound server died): what it captured stays in the file, and a
        // new capture goes on in the same file as soon as one opens.
        os::log() << u"recorder lost: " << os::from_utf8(m_recorder->failure()) << u"\n";
        close_recorder(true);
        m_capture_gap = true;
        m_capture_lost_at = os::tick_count();
        m_capture_retries = 0;
        // The user hears no beep of it: the screen says so.
        notify(DocumentEvent::CaptureLost);
    }
    if (m_recorder) return;
    // A capture that cannot open fails at once (and logs why): tried every second at first, then
    // every five, so a server that stays away does not fill the log.
    const uint32_t wait_ms = m_capture_retries == 0 ? 0 : m_capture_retries < 10 ? 1000 : 5000;
    if (static_cast<uint32_t>(os::tick_count() - m_capture_retried_at) < wait_ms) return;
    m_capture_retried_at = os::tick_count();
    if (!open_recorder(false)) {
        m_recorder.reset();
        ++m_capture_retries;
        return;
    }
    os::log() << u"recorder back after " << static_cast<int32_t>(os::tick_count() - m_capture_lost_at)
              << u" ms; the recording goes on\n";
}

void Document::poll_phone() {
    const bool talking = m_call_monitor->is_talking();
    if (talking != m_talking) {
        m_talking = talking;
        notify(DocumentEvent::PhoneStateChanged);
    }
    // The call monitor reports only the calls it saw begin. A call that ended while the program
    // started for it was still starting up (or before it started) is never reported, and its
    // recording and the program would run on for good: with no call in progress, that call is over.
    // A call the monitor did see begin is ended by the monitor, once it has surely ended.
    if (!talking && m_started_for_call && !m_call_monitor->in_call()) end_call(false);
    const bool speaker = m_call_monitor->is_speaker_on();
    if (speaker != m_speaker_state) {
        m_speaker_state = speaker;
        notify(DocumentEvent::PhoneStateChanged);
    }
}

#include "tests/screens/fake_document.h"

#include <algorithm>

namespace screen_test {

void FakeDocument::remove_observer(DocumentObserver* observer) {
    m_observers.erase(std::remove(m_observers.begin(), m_observers.end(), observer), m_observers.end());
}

void FakeDocument::notify(int32_t code, int32_t parameter) {
    // A copy: an observer may leave while it hears the event.
    const std::vector<DocumentObserver*> observers = m_observers;
    for (DocumentObserver* observer : observers) observer->on_document_event(DocumentEvent{code, parameter});
}

bool FakeDocument::record_voice_note() {
    commands.push_back("record");
    if (!commands_succeed) return false;
    RecordEntry entry;
    entry.path = current.path.empty() ? u"/note.wav" : current.path;
    entry.valid = true;
    current = entry;
    recording = true;
    appending = false;
    paused = false;
    seconds_recorded = 0.0;
    // Listed at once, told as the start alone (no insertion of its own).
    notify(DocumentEvent::RecordingStarted, list.insert(entry));
    return true;
}

bool FakeDocument::record_append() {
    commands.push_back("append");
    if (!commands_succeed) return false;
    recording = true;
    appending = true;
    paused = false;
    notify(DocumentEvent::AppendStarted);
    return true;
}

void FakeDocument::stop() {
    commands.push_back("stop");
    const bool was_running = recording || playing;
    recording = false;
    appending = false;
    playing = false;
    paused = false;
    if (was_running) notify(DocumentEvent::Stopped);
}

void FakeDocument::set_paused(bool now_paused) {
    commands.push_back(now_paused ? "pause" : "resume");
    if (!recording && !playing) return;
    paused = now_paused;
    notify(DocumentEvent::PausedOrResumed);
}

bool FakeDocument::play(const std::u16string& path) {
    commands.push_back("play");
    if (!commands_succeed) return false;
    const int index = list.find(path);
    if (index >= 0) {
        current = list.at(static_cast<size_t>(index));
    } else {
        current = RecordEntry{};
        current.path = path;
    }
    playing = true;
    paused = false;
    position = 0.0;
    return true;
}

bool FakeDocument::seek(double fraction) {
    commands.push_back("seek");
    if (!playing) return false;
    position = std::clamp(fraction, 0.0, 1.0) * current.duration;
    return true;
}

bool FakeDocument::seek_time(double seconds) {
    commands.push_back("seek_time");
    if (!playing) return false;
    position = std::clamp(seconds, 0.0, std::max(current.duration, 0.0));
    return true;
}

bool FakeDocument::remove() {
    commands.push_back("remove");
    return commands_succeed && remove_record(current.path);
}

bool FakeDocument::set_title(std::u16string_view title) {
    commands.push_back("set_title");
    if (!commands_succeed) return false;
    current.title = std::u16string(title);
    const int index = list.find(current.path);
    if (index >= 0) {
        list.at(static_cast<size_t>(index)).title = current.title;
        notify(DocumentEvent::RecordRenamed, index);
    }
    return true;
}

void FakeDocument::rescan() {
    commands.push_back("rescan");
    notify(DocumentEvent::ListRebuilt);
}

bool FakeDocument::remove_record(const std::u16string& path) {
    commands.push_back("remove_record");
    if (!commands_succeed) return false;
    const int index = list.find(path);
    if (index < 0) return true;
    list.remove_at(static_cast<size_t>(index));
    notify(DocumentEvent::RecordDeleted, index);
    return true;
}

std::u16string FakeDocument::move_record(const std::u16string& path, std::u16string_view folder) {
    commands.push_back("move_record");
    const int index = list.find(path);
    if (!commands_succeed || index < 0) return {};
    const std::u16string moved = std::u16string(folder) + path.substr(path.find_last_of(u'/'));
    list.rename_at(static_cast<size_t>(index), moved);
    notify(DocumentEvent::ListRebuilt);
    return moved;
}

void FakeDocument::set_speakerphone(bool on) {
    commands.push_back(on ? "speakerphone_on" : "speakerphone_off");
    speaker_on = on;
    notify(DocumentEvent::PhoneStateChanged);
}

bool FakeDocument::save_settings() {
    commands.push_back("save_settings");
    if (!settings_save) return false;
    ++saves;
    return true;
}

bool FakeDocument::set_auto_record(bool enabled) {
    commands.push_back("set_auto_record");
    if (!launch_entry_follows) return false;
    values.auto_record = enabled ? 1 : 0;
    return true;
}

void FakeDocument::take_live_peaks(std::vector<PeakPair>& pairs) {
    pairs.insert(pairs.end(), live_peaks.begin(), live_peaks.end());
    live_peaks.clear();
}

int FakeDocument::add_record(RecordEntry entry) {
    bool inserted = false;
    const int index = list.insert(std::move(entry), &inserted);
    if (inserted) notify(DocumentEvent::RecordInserted, index);
    return index;
}

}  // namespace screen_test

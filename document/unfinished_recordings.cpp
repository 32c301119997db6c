#include "document/unfinished_recordings.h"

#include <dirent.h>
#include <unistd.h>

#include <atomic>

#include "document/record_repair.h"
#include "os/file_system.h"
#include "os/log.h"
#include "os/path.h"
#include "os/runtime_folder.h"
#include "os/text.h"

namespace {

std::atomic<unsigned> g_sequence{0};

// The note: the path and the codec on a line each, then the tail's bytes as they are.
bool parse_note(const std::string& text, std::u16string& path, std::u16string& codec, std::vector<uint8_t>& tail) {
    const size_t first = text.find('\n');
    if (first == std::string::npos) return false;
    const size_t second = text.find('\n', first + 1);
    if (second == std::string::npos) return false;
    path = os::from_utf8(text.substr(0, first));
    codec = os::from_utf8(text.substr(first + 1, second - first - 1));
    tail.assign(text.begin() + long(second + 1), text.end());
    return !path.empty() && !codec.empty();
}

const char16_t* result_text(RepairResult result) {
    switch (result) {
        case RepairResult::Untouched:
            return u"whole already";
        case RepairResult::Repaired:
            return u"repaired";
        case RepairResult::Removed:
            return u"removed, it held no audio";
        case RepairResult::Failed:
            break;
    }
    return u"could not be repaired";
}

}  // namespace

std::u16string unfinished_folder() { return os::user_data_folder() + u"/unfinished"; }

std::unique_ptr<UnfinishedRecording> UnfinishedRecording::begin(const std::u16string& path, std::u16string_view codec,
                                                                const std::vector<uint8_t>& tail) {
    const std::u16string folder = unfinished_folder();
    if (!os::make_private_folder(folder)) return nullptr;
    std::unique_ptr<UnfinishedRecording> note(new UnfinishedRecording());
    note->m_note_path = folder + u"/" + os::to_text(static_cast<long long>(::getpid())) + u"-" +
                        os::to_text(static_cast<long long>(g_sequence.fetch_add(1)));
    note->m_path = path;
    note->m_codec = std::u16string(codec);
    note->m_tail = tail;
    if (!note->m_note.open(note->m_note_path, os::File::Write) || !note->m_note.make_private() ||
        !note->m_note.try_lock() || !note->write_note()) {
        os::log() << u"unfinished: cannot note " << path << u"\n";
        note->m_note.close();
        os::delete_file(note->m_note_path);
        return nullptr;
    }
    return note;
}

UnfinishedRecording::~UnfinishedRecording() {
    os::delete_file(m_note_path);
    m_note.close();
}

void UnfinishedRecording::renamed(const std::u16string& path) {
    m_path = path;
    write_note();
}

bool UnfinishedRecording::write_note() {
    std::string text = os::to_utf8(m_path) + "\n" + os::to_utf8(m_codec) + "\n";
    text.append(m_tail.begin(), m_tail.end());
    // Written before the writer takes anything off the file's end; a killed process leaves it in the
    // page cache. No sync: this runs on the GUI thread, which never waits for a disk.
    return m_note.truncate(0) && m_note.write(text.data(), text.size()) == text.size();
}

int heal_unfinished_recordings() {
    const std::u16string folder = unfinished_folder();
    const std::string native = os::to_utf8(os::expand_path(folder));
    DIR* dir = ::opendir(native.c_str());
    if (!dir) return 0;
    std::vector<std::u16string> notes;
    while (const dirent* item = ::readdir(dir)) {
        const std::string name = item->d_name;
        if (name == "." || name == "..") continue;
        notes.push_back(folder + u"/" + os::from_utf8(name));
    }
    ::closedir(dir);
    int healed = 0;
    for (const std::u16string& note_path : notes) {
        os::File note(note_path, os::File::Read);
        // A note whose lock is held belongs to a recording that runs now, here or in another process.
        if (!note.is_open() || !note.try_lock()) continue;
        std::string text(static_cast<size_t>(std::max<int64_t>(0, note.size())), '\0');
        text.resize(note.read(text.data(), text.size()));
        std::u16string path;
        std::u16string codec;
        std::vector<uint8_t> tail;
        if (parse_note(text, path, codec, tail) && os::exists(path)) {
            const RepairResult result = repair_recording(path, codec, tail);
            os::log() << u"killed recording " << path << u": " << result_text(result) << u"\n";
            if (result == RepairResult::Repaired || result == RepairResult::Removed) ++healed;
        }
        os::delete_file(note_path);
    }
    return healed;
}

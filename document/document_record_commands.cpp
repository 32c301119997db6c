// The list commands of the document that act on any listed record, not only the current one: the
// main list deletes and moves many records at once.
#include "document/document.h"
#include "document/record_files.h"
#include "os/file_system.h"
#include "os/log.h"
#include "os/path.h"

bool Document::remove_record(const std::u16string& path) {
    const int index = m_records.find(path);
    if (index < 0) return false;
    if (path == m_current.path && (is_recording() || is_playing())) stop();
    // stop() may take an empty new recording off the list itself.
    const int now = m_records.find(path);
    if (now < 0) return true;
    if (!os::delete_file(path) && os::exists(path)) {
        os::log() << u"remove_record: cannot delete " << path << u"\n";
        return false;
    }
    m_records.remove_at(static_cast<size_t>(now));
    m_peaks.forget(path);
    notify(DocumentEvent::RecordDeleted, now);
    return true;
}

std::u16string Document::move_record(const std::u16string& path, std::u16string_view folder) {
    const int index = m_records.find(path);
    if (index < 0) return {};
    const bool current = path == m_current.path;
    if (current && is_recording()) return {};
    if (current && is_playing()) stop();
    if (!os::exists(folder) && !os::create_directory(folder)) return {};
    const std::u16string target =
        make_record_path(os::title_of(path), os::strip_separator(folder), os::extension_of(path));
    os::FileInfo result;
    if (!os::move_file(path, target, &result)) {
        os::log() << u"move_record: cannot move " << path << u" to " << target << u" error=" << result.error << u"\n";
        return {};
    }
    m_records.rename_at(static_cast<size_t>(index), target);
    if (current) {
        m_current.path = target;
        write_current_path(target);
    }
    notify(DocumentEvent::RecordRenamed, index);
    return target;
}

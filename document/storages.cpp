#include "document/storages.h"

#include "os/drives.h"
#include "os/file.h"
#include "os/file_system.h"
#include "os/log.h"
#include "os/path.h"

std::vector<StorageEntry> storages() {
    std::vector<StorageEntry> list;
    const std::u16string documents = os::strip_separator(os::expand_path(u"%my_documents%"));
    const std::u16string main_path = os::join(documents, record_folder_name);
    list.push_back({main_path, u"Menu_MainMemory", os::volume_size(main_path)});

    const std::u16string documents_name = os::file_name_of(documents);
    os::find_drives([&](const std::u16string& card) {
        const std::u16string card_path = os::strip_separator(os::expand_path(card));
        StorageEntry entry{os::join(os::join(card_path, documents_name), record_folder_name),
                           os::file_name_of(card_path), os::volume_size(card_path)};
        // Cards after main memory, ascending by size; the same folder is never listed twice.
        auto place = list.begin() + 1;
        while (place != list.end() && place->volume_size <= entry.volume_size) {
            if (place->path == entry.path) return true;
            ++place;
        }
        if (place != list.end() && place->path == entry.path) return true;
        list.insert(place, std::move(entry));
        return true;
    });
    return list;
}

namespace {
// Makes the folder when missing and proves that a file can be written in it: a card mounted
// read-only, or one that fails, still lists its folders.
bool is_writable_folder(const std::u16string& folder) {
    if (!os::exists(folder)) os::create_directory(folder);
    if (!os::FileInfo(folder).is_folder()) return false;
    const std::u16string probe = os::join(folder, u".quillon-write-test");
    bool written = false;
    {
        os::File file(probe, os::File::Write);
        written = file.is_open() && file.write("q", 1) == 1;
    }
    os::delete_file(probe);
    return written;
}
}  // namespace

std::u16string record_folder(std::u16string_view subfolder, std::u16string* store_out) {
    const std::vector<StorageEntry> list = storages();
    std::u16string store = list.back().path;
    if (!os::exists(os::root_of(store)) || os::root_free_space(store) < min_free_bytes) store = list.front().path;
    std::u16string folder = subfolder.empty() ? store : os::join(store, subfolder);
    bool usable = is_writable_folder(folder);
    if (!usable && store != list.front().path) {
        os::log() << u"record folder not writable:" << folder << u" recording into main memory\n";
        store = list.front().path;
        folder = subfolder.empty() ? store : os::join(store, subfolder);
        usable = is_writable_folder(folder);
    }
    if (store_out) *store_out = store;
    if (!usable) return {};
    return folder;
}

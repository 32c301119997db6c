#include "document/storages.h"

#include "os/drives.h"
#include "os/file_system.h"
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

std::u16string record_folder(std::u16string_view subfolder, std::u16string* store_out) {
    const std::vector<StorageEntry> list = storages();
    std::u16string store = list.back().path;
    if (!os::exists(os::root_of(store)) || os::root_free_space(store) < min_free_bytes) store = list.front().path;
    const std::u16string folder = subfolder.empty() ? store : os::join(store, subfolder);
    if (!os::exists(folder)) os::create_directory(folder);
    if (store_out) *store_out = store;
    if (!os::FileInfo(folder).is_folder()) return {};
    return folder;
}

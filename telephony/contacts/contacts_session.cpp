#include "telephony/contacts/contacts_session.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

#include "os/log.h"
#include "os/path.h"
#include "os/text.h"
#include "telephony/contacts/phone_number.h"
#include "telephony/contacts/vcard_reader.h"

namespace {

enum class StoreState { unknown, present, missing };
std::mutex g_store_mutex;
StoreState g_store_state = StoreState::unknown;

std::u16string env_text(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? os::from_utf8(value) : std::u16string();
}

bool is_vcard_file(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".vcf" || extension == ".vcard";
}

// False when the folder itself cannot be listed.
bool list_vcard_files(const std::string& folder, std::vector<std::string>& files) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::directory_iterator top(folder, error);
    if (error) return false;
    std::vector<fs::path> subfolders;
    for (const auto& entry : top) {
        std::error_code kind_error;
        if (entry.is_regular_file(kind_error) && is_vcard_file(entry.path())) {
            files.push_back(entry.path().string());
        } else if (entry.is_directory(kind_error) && !entry.is_symlink(kind_error)) {
            subfolders.push_back(entry.path());
        }
    }
    for (const auto& subfolder : subfolders) {
        fs::directory_iterator inner(subfolder, error);
        if (error) continue;
        for (const auto& entry : inner) {
            std::error_code kind_error;
            if (entry.is_regular_file(kind_error) && is_vcard_file(entry.path()))
                files.push_back(entry.path().string());
        }
    }
    std::sort(files.begin(), files.end());
    return true;
}

// Looks for the store once per process.
bool store_present(const std::u16string& folder) {
    std::lock_guard lock(g_store_mutex);
    if (g_store_state == StoreState::unknown) {
        std::error_code error;
        const bool present = std::filesystem::is_directory(os::to_utf8(folder), error);
        g_store_state = present ? StoreState::present : StoreState::missing;
    }
    return g_store_state == StoreState::present;
}

// What a search needs of one file's cards, kept while the file is unchanged.
struct IndexedFile {
    std::filesystem::file_time_type modified;
    std::uintmax_t size = 0;
    std::vector<VCard> cards;  // names and numbers only: pictures are read when asked for
};

// The address book's index: a lookup reads only the files that changed since the last one, so a
// large address book costs a listing, not a parse of every card, per call.
std::mutex g_index_mutex;
std::u16string g_index_folder;
std::map<std::string, IndexedFile> g_index;

// The cards of the files, in the files' order, from the index brought up to date.
std::vector<std::pair<const std::string*, const std::vector<VCard>*>> indexed_cards(
    const std::u16string& folder, const std::vector<std::string>& files) {
    if (folder != g_index_folder) {
        g_index.clear();
        g_index_folder = folder;
    }
    std::map<std::string, IndexedFile> fresh;
    for (const std::string& file : files) {
        std::error_code error;
        const auto modified = std::filesystem::last_write_time(file, error);
        if (error) continue;
        const auto size = std::filesystem::file_size(file, error);
        if (error) continue;
        auto known = g_index.find(file);
        if (known != g_index.end() && known->second.modified == modified && known->second.size == size) {
            fresh.emplace(file, std::move(known->second));
            continue;
        }
        IndexedFile entry{modified, size, {}};
        if (!vcard::read_file(file, entry.cards)) continue;
        fresh.emplace(file, std::move(entry));
    }
    g_index = std::move(fresh);
    std::vector<std::pair<const std::string*, const std::vector<VCard>*>> cards;
    for (const std::string& file : files) {
        auto found = g_index.find(file);
        if (found != g_index.end()) cards.emplace_back(&found->first, &found->second.cards);
    }
    return cards;
}

}  // namespace

std::u16string contacts_folder() {
    std::u16string folder = env_text("QUILLON_CONTACTS");
    if (!folder.empty()) return os::strip_separator(folder);
    const std::u16string root = env_text("QUILLON_ROOT");
    if (!root.empty()) return os::strip_separator(root) + u"/kpeoplevcard";
    std::u16string data = env_text("XDG_DATA_HOME");
    if (data.empty()) {
        std::u16string home = env_text("HOME");
        data = (home.empty() ? std::u16string(u"/tmp") : os::strip_separator(home)) + u"/.local/share";
    }
    return os::strip_separator(data) + u"/kpeoplevcard";
}

void forget_contacts_store() {
    std::lock_guard lock(g_store_mutex);
    g_store_state = StoreState::unknown;
}

ContactsSession::ContactsSession() : m_folder(contacts_folder()) {}

const ContactsSession::Match* ContactsSession::match(uint32_t object_id) const {
    if (object_id == 0 || object_id > m_matches.size()) return nullptr;
    return &m_matches[object_id - 1];
}

uint32_t ContactsSession::add_match(Match match) {
    m_matches.push_back(std::move(match));
    return static_cast<uint32_t>(m_matches.size());
}

bool find_contact_by_phone(ContactsSession& session, std::u16string_view number, ContactRecord& record) {
    if (!store_present(session.folder())) {
        os::log() << u"find_contact_by_phone: library not valid\n";
        return false;
    }
    std::vector<std::string> files;
    if (!list_vcard_files(os::to_utf8(session.folder()), files)) {
        os::log() << u"find_contact_by_phone: no function\n";
        return false;
    }
    if (dialled_number(number).digits.empty()) {
        os::log() << u"find_contact_by_phone: bad result\n";
        return false;
    }
    // The closest number wins wherever its card is: a call from a number that one card holds
    // exactly is not credited to another card whose number merely ends the same way. Two
    // different people equally close is no answer at all: a wrong name would go into the file
    // name, the folder and the tags.
    int best_strength = 0;
    bool tied = false;
    std::lock_guard index_lock(g_index_mutex);
    for (const auto& [file_name, file_cards] : indexed_cards(session.folder(), files)) {
        const std::string& file = *file_name;
        const std::vector<VCard>& cards = *file_cards;
        for (size_t i = 0; i < cards.size(); ++i) {
            int strength = 0;
            const std::u16string* closest = nullptr;
            for (const auto& phone : cards[i].phones) {
                const int s = phone_match_strength(number, phone);
                if (s > strength) {
                    strength = s;
                    closest = &phone;
                }
            }
            if (strength == 0 || strength < best_strength) continue;
            if (strength == best_strength) {
                // The same person kept twice (two address books) is not a tie.
                tied = tied || cards[i].formatted_name != record.name;
                continue;
            }
            best_strength = strength;
            tied = false;
            record.object_id = session.add_match({file, static_cast<long>(i)});
            record.name = cards[i].formatted_name;
            record.number = *closest;
        }
    }
    if (best_strength > 0 && !tied) return true;
    record = ContactRecord();
    os::log() << u"find_contact_by_phone: bad result\n";
    return false;
}

std::vector<uint8_t> contact_picture(ContactsSession& session, uint32_t object_id) {
    const ContactsSession::Match* match = session.match(object_id);
    if (!match) return {};
    std::vector<VCard> cards;
    if (!vcard::read_file(match->file, cards, match->card_index)) return {};
    if (match->card_index >= static_cast<long>(cards.size())) return {};
    return vcard::photo_bytes(cards[static_cast<size_t>(match->card_index)], contact_picture_max_bytes);
}

std::u16string guess_picture_mime(const std::vector<uint8_t>& picture) {
    auto starts = [&picture](std::initializer_list<uint8_t> prefix) {
        return picture.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), picture.begin());
    };
    // Every JPEG starts with FF D8 FF; the fourth byte differs between JFIF, Exif and raw files.
    if (starts({0xFF, 0xD8, 0xFF})) return u"image/jpeg";
    if (starts({0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A})) return u"image/png";
    if (starts({'G', 'I', 'F', '8', '7', 'a'}) || starts({'G', 'I', 'F', '8', '9', 'a'})) return u"image/gif";
    return u"image/xyz";
}

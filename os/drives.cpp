#include "os/drives.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "os/file_system.h"
#include "os/log.h"
#include "os/path.h"
#include "os/text.h"

namespace os {
namespace {

std::string user_name() {
    const char* name = std::getenv("USER");
    if (name && *name) return name;
    const char* login = ::getlogin();
    return login ? login : "";
}

// Entries of a folder that are folders, or links (a stale link is a card that went away).
std::vector<std::string> subfolders(const std::string& folder, bool mount_points_only) {
    std::vector<std::string> found;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return found;
    struct stat parent {};
    const bool have_parent = ::stat(folder.c_str(), &parent) == 0;
    while (const dirent* item = ::readdir(dir)) {
        const std::string name = item->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "/" + name;
        struct stat info {};
        struct stat link {};
        const bool resolved = ::stat(path.c_str(), &info) == 0;
        if (resolved && !S_ISDIR(info.st_mode)) continue;
        if (!resolved && !(::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode))) continue;
        // An empty folder left by a card that was pulled out lies on the parent's volume.
        if (mount_points_only && (!resolved || !have_parent || info.st_dev == parent.st_dev)) continue;
        found.push_back(path);
    }
    ::closedir(dir);
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

std::vector<std::u16string> card_folders() {
    std::vector<std::string> folders;
    const char* root = std::getenv("QUILLON_ROOT");
    if (root && *root) {
        folders = subfolders(to_utf8(strip_separator(from_utf8(root))) + "/cards", false);
    } else {
        const std::string user = user_name();
        if (!user.empty()) {
            for (const std::string& base : {"/media/" + user, "/run/media/" + user}) {
                const std::vector<std::string> more = subfolders(base, true);
                folders.insert(folders.end(), more.begin(), more.end());
            }
        }
    }
    std::vector<std::u16string> cards;
    for (const std::string& folder : folders) cards.push_back(from_utf8(folder));
    return cards;
}

bool find_drives(const std::function<bool(const std::u16string& card)>& callback) {
    const std::u16string documents = expand_path(u"%my_documents%");
    log() << u"find_drives: mydoc={" << documents << u"}\n";
    for (const std::u16string& card : card_folders()) {
        // A volume of 1,000,000 bytes or less has no room for recordings, so it is no card to us.
        if (!is_under(documents, card) && volume_size(card) > 1'000'000) {
            log() << u"returning result={" << card << u"}\n";
            if (!callback(card)) break;
        } else {
            log() << u"skipping result={" << card << u"}\n";
        }
    }
    return true;
}

}  // namespace os

#include "os/runtime_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "os/log.h"
#include "os/path.h"
#include "os/text.h"

namespace os {
namespace {

enum class Refusal { None, Missing, NotAFolder, NotOurs, OpenToOthers };

Refusal check(const std::string& folder) {
    struct stat info {};
    // lstat: a link planted in /tmp must not lead us into a folder someone else chose.
    if (::lstat(folder.c_str(), &info) != 0) return Refusal::Missing;
    if (!S_ISDIR(info.st_mode)) return Refusal::NotAFolder;
    if (info.st_uid != ::geteuid()) return Refusal::NotOurs;
    if ((info.st_mode & 077) != 0) return Refusal::OpenToOthers;
    return Refusal::None;
}

const char* reason(Refusal refusal) {
    switch (refusal) {
        case Refusal::Missing:
            return "cannot be created";
        case Refusal::NotAFolder:
            return "is not a folder";
        case Refusal::NotOurs:
            return "belongs to another user";
        case Refusal::OpenToOthers:
            return "is open to other users";
        default:
            return "";
    }
}

Refusal make(const std::string& folder) {
    for (size_t i = 1; i <= folder.size(); ++i) {
        if (i == folder.size() || folder[i] == '/') ::mkdir(folder.substr(0, i).c_str(), 0700);
    }
    return check(folder);
}

std::atomic<bool> g_told{false};

}  // namespace

bool make_private_folder(std::u16string_view folder) { return make(to_utf8(strip_separator(folder))) == Refusal::None; }

std::u16string choose_private_folder(std::u16string_view wanted, std::u16string_view fallback) {
    const Refusal refusal = make(to_utf8(strip_separator(wanted)));
    if (refusal == Refusal::None) return strip_separator(wanted);
    make_private_folder(fallback);
    if (!g_told.exchange(true)) {
        const std::string message = "quillon-touch: the runtime folder " + to_utf8(wanted) + " " + reason(refusal) +
                                    "; using " + to_utf8(fallback) + " instead\n";
        std::fputs(message.c_str(), stderr);
        os::log() << from_utf8(message);
    }
    return strip_separator(fallback);
}

}  // namespace os

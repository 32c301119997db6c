#include "os/mail.h"

#include <sys/stat.h>

#include <string>
#include <vector>

#include "os/execute.h"
#include "os/log.h"
#include "os/text.h"

namespace os {

bool send_by_mail(std::u16string_view path) { return start_mail(path) != nullptr; }

std::shared_ptr<const ChildExit> start_mail(std::u16string_view path) {
    // The document's path is already a real one: expanding it would turn a backslash in a file
    // name into a separator.
    const std::u16string file(path);
    struct stat info {};
    // xdg-email would start the composer and only then find nothing to attach; the user learns it
    // sooner from us.
    if (file.empty() || ::stat(to_utf8(file).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        log() << u"send_by_mail: no file " << path << u"\n";
        return nullptr;
    }
    // The attachment is given as its own argument rather than in a quoted parameter text, which
    // would break at a double quote inside a file name.
    return start_program(u"xdg-email", {u"--attach", file});
}

}  // namespace os

#pragma once
// Handing a recording to the user's mail program.
#include <memory>
#include <string_view>

#include "os/execute.h"

namespace os {

// Opens a new message in the desktop's mail composer with the file attached
// ("xdg-email --attach PATH"), started without a shell and not waited for: composing and sending
// are the mail program's business. The path travels as one argument whatever it holds (spaces,
// quotes, shell characters). False when the file is not there or xdg-email is missing or cannot
// start, so the caller can say so.
bool send_by_mail(std::u16string_view path);
// The same, with the composer's ending reported: a mail program that does not answer makes
// xdg-email end with a non-zero status. Null when nothing could be started.
std::shared_ptr<const ChildExit> start_mail(std::u16string_view path);

}  // namespace os

#pragma once
// Walking a folder tree synchronously.
#include <functional>
#include <string>
#include <string_view>

namespace os {

class WalkVisitor {
public:
    virtual ~WalkVisitor() = default;
    // Each answers false to stop the whole walk.
    virtual bool on_file(const std::u16string& path) = 0;
    virtual bool on_folder(const std::u16string& path) = 0;
};

// First every file in the folder whose name matches file_mask goes to on_file, then every
// sub-folder matching folder_mask (never "." or "..") goes to on_folder and, when recursive, is
// walked at once. Masks use "*" and "?" and ignore case; "*.*" matches every name. Entries come in
// name order. A folder that cannot be read is skipped; a folder reached again through a link is
// not walked twice. False when the visitor stopped the walk.
bool walk(WalkVisitor& visitor, std::u16string_view folder, std::u16string_view file_mask,
          std::u16string_view folder_mask, bool recursive);

// The same with two functions for the visitor.
bool walk(std::u16string_view folder, std::u16string_view file_mask, std::u16string_view folder_mask, bool recursive,
          const std::function<bool(const std::u16string&)>& on_file,
          const std::function<bool(const std::u16string&)>& on_folder);

// True when the name matches the mask ("*" any run, "?" one character), ignoring case.
bool matches_mask(std::u16string_view name, std::u16string_view mask);

}  // namespace os

#include "os/walk.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "os/path.h"
#include "os/text.h"

namespace os {
namespace {

struct Entry {
    std::string name;
    bool is_folder;
};

// The entries of one folder, in name order; empty when it cannot be read.
std::vector<Entry> read_folder(const std::string& folder) {
    std::vector<Entry> entries;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return entries;
    while (const dirent* item = ::readdir(dir)) {
        const std::string name = item->d_name;
        if (name == "." || name == "..") continue;
        bool folder_entry = item->d_type == DT_DIR;
        if (item->d_type == DT_UNKNOWN || item->d_type == DT_LNK) {
            struct stat info {};
            folder_entry = ::stat((folder + "/" + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        }
        entries.push_back({name, folder_entry});
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    return entries;
}

class Walker {
public:
    Walker(WalkVisitor& visitor, std::u16string_view file_mask, std::u16string_view folder_mask, bool recursive)
        : m_visitor(visitor), m_file_mask(file_mask), m_folder_mask(folder_mask), m_recursive(recursive) {}

    bool walk(const std::u16string& folder) {
        const std::string native = to_utf8(folder.empty() ? u"." : folder);
        struct stat info {};
        if (::stat(native.c_str(), &info) != 0) return true;
        // Links may lead back up the tree; each folder is walked once.
        if (!m_seen.insert({info.st_dev, info.st_ino}).second) return true;
        const std::vector<Entry> entries = read_folder(native);
        for (const Entry& entry : entries) {
            if (entry.is_folder) continue;
            const std::u16string name = from_utf8(entry.name);
            if (matches_mask(name, m_file_mask) && !m_visitor.on_file(join(folder, name))) return false;
        }
        for (const Entry& entry : entries) {
            if (!entry.is_folder) continue;
            const std::u16string name = from_utf8(entry.name);
            if (!matches_mask(name, m_folder_mask)) continue;
            const std::u16string path = join(folder, name);
            if (!m_visitor.on_folder(path)) return false;
            if (m_recursive && !walk(path)) return false;
        }
        return true;
    }

private:
    WalkVisitor& m_visitor;
    std::u16string m_file_mask;
    std::u16string m_folder_mask;
    bool m_recursive;
    std::set<std::pair<dev_t, ino_t>> m_seen;
};

class FunctionVisitor final : public WalkVisitor {
public:
    FunctionVisitor(const std::function<bool(const std::u16string&)>& on_file,
                    const std::function<bool(const std::u16string&)>& on_folder)
        : m_on_file(on_file), m_on_folder(on_folder) {}
    bool on_file(const std::u16string& path) override { return !m_on_file || m_on_file(path); }
    bool on_folder(const std::u16string& path) override { return !m_on_folder || m_on_folder(path); }

private:
    const std::function<bool(const std::u16string&)>& m_on_file;
    const std::function<bool(const std::u16string&)>& m_on_folder;
};

char16_t fold(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

}  // namespace

bool matches_mask(std::u16string_view name, std::u16string_view mask) {
    // "*.*" has always meant every name, with or without a dot.
    if (mask == u"*.*" || mask == u"*") return true;
    const std::u16string folded_name = lower(name);
    const std::u16string folded_mask = lower(mask);
    // Greedy match with one back-track point for the last "*".
    size_t n = 0, m = 0, star = std::u16string::npos, resume = 0;
    while (n < folded_name.size()) {
        if (m < folded_mask.size() && (folded_mask[m] == u'?' || fold(folded_mask[m]) == fold(folded_name[n]))) {
            ++n;
            ++m;
        } else if (m < folded_mask.size() && folded_mask[m] == u'*') {
            star = m++;
            resume = n;
        } else if (star != std::u16string::npos) {
            m = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (m < folded_mask.size() && folded_mask[m] == u'*') ++m;
    return m == folded_mask.size();
}

bool walk(WalkVisitor& visitor, std::u16string_view folder, std::u16string_view file_mask,
          std::u16string_view folder_mask, bool recursive) {
    Walker walker(visitor, file_mask, folder_mask, recursive);
    const std::u16string expanded = expand_path(folder);
    return walker.walk(expanded == u"/" ? expanded : strip_separator(expanded));
}

bool walk(std::u16string_view folder, std::u16string_view file_mask, std::u16string_view folder_mask, bool recursive,
          const std::function<bool(const std::u16string&)>& on_file,
          const std::function<bool(const std::u16string&)>& on_folder) {
    FunctionVisitor visitor(on_file, on_folder);
    return walk(visitor, folder, file_mask, folder_mask, recursive);
}

}  // namespace os

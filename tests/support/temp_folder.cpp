#include "tests/support/temp_folder.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

namespace test_support {

TempFolder::TempFolder(const std::string& prefix) {
    std::string pattern = "/tmp/" + prefix + "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    m_path = pattern;
    // Other users may need to reach it: some tests run a part of themselves as nobody.
    ::chmod(m_path.c_str(), 0755);
}

TempFolder::~TempFolder() {
    namespace fs = std::filesystem;
    std::error_code ignored;
    fs::permissions(m_path, fs::perms::all, ignored);
    const auto options = fs::directory_options::skip_permission_denied;
    for (auto& entry : fs::recursive_directory_iterator(m_path, options, ignored)) {
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add | fs::perm_options::nofollow,
                        ignored);
    }
    // A program the test started may still be taking its own files away as it ends: try again.
    for (int attempt = 0; attempt < 5 && fs::exists(m_path, ignored); ++attempt) fs::remove_all(m_path, ignored);
}

TempRoot::TempRoot(const std::string& prefix) : TempFolder(prefix), m_root("QUILLON_ROOT", path().c_str()) {}

}  // namespace test_support

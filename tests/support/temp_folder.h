#pragma once
// A fresh folder under /tmp for one test, removed with everything in it at the end of its scope,
// even where the test took rights away from files in it.
#include <string>

#include "os/text.h"
#include "tests/support/scoped_env.h"

namespace test_support {

class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "quillon-test");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return m_path; }
    std::string path(const std::string& name) const { return m_path + "/" + name; }
    std::u16string text() const { return os::from_utf8(m_path); }
    std::u16string path16(const std::string& name) const { return os::from_utf8(path(name)); }

private:
    std::string m_path;
};

// A TempFolder that is QUILLON_ROOT for its scope: registry, documents, cards and log all live in
// it, and the earlier QUILLON_ROOT is back once it is gone.
class TempRoot : public TempFolder {
public:
    explicit TempRoot(const std::string& prefix = "quillon-root");

private:
    ScopedEnv m_root;
};

}  // namespace test_support

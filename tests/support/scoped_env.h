#pragma once
// Environment variables set for one scope. Each one gets its earlier value (or its absence) back
// when the scope ends, also when a failed assertion ends the test early, so no test leaves its
// settings to the next one.
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace test_support {

class ScopedEnv {
public:
    ScopedEnv() = default;
    // A null value unsets the variable.
    ScopedEnv(const std::string& name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    void set(const std::string& name, const std::string& value);
    void unset(const std::string& name);

private:
    void remember(const std::string& name);

    // Only the value before this scope's first change of a name counts.
    std::vector<std::pair<std::string, std::optional<std::string>>> m_before;
};

}  // namespace test_support

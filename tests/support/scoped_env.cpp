#include "tests/support/scoped_env.h"

#include <stdlib.h>

#include <algorithm>

namespace test_support {

ScopedEnv::ScopedEnv(const std::string& name, const char* value) {
    if (value) {
        set(name, value);
    } else {
        unset(name);
    }
}

ScopedEnv::~ScopedEnv() {
    for (auto it = m_before.rbegin(); it != m_before.rend(); ++it) {
        if (it->second) {
            ::setenv(it->first.c_str(), it->second->c_str(), 1);
        } else {
            ::unsetenv(it->first.c_str());
        }
    }
}

void ScopedEnv::set(const std::string& name, const std::string& value) {
    remember(name);
    ::setenv(name.c_str(), value.c_str(), 1);
}

void ScopedEnv::unset(const std::string& name) {
    remember(name);
    ::unsetenv(name.c_str());
}

void ScopedEnv::remember(const std::string& name) {
    auto same_name = [&](const auto& kept) { return kept.first == name; };
    if (std::any_of(m_before.begin(), m_before.end(), same_name)) return;
    const char* value = ::getenv(name.c_str());
    m_before.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
}

}  // namespace test_support

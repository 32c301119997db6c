#pragma once
// One private bus for a whole test program (GLib keeps per-process state about buses), in a folder
// of its own under the given root:
//
//     ::testing::Environment* const g_bus = ::testing::AddGlobalTestEnvironment(new BusEnvironment(root));
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "tests/dbus/private_bus.h"

namespace bus_test {

class BusEnvironment : public ::testing::Environment {
public:
    explicit BusEnvironment(std::string folder) : m_folder(std::move(folder)) {}
    void SetUp() override {
        std::filesystem::create_directories(m_folder);
        m_bus = std::make_unique<PrivateBus>(m_folder);
        ASSERT_TRUE(m_bus->ok());
    }
    void TearDown() override { m_bus.reset(); }

private:
    std::string m_folder;
    std::unique_ptr<PrivateBus> m_bus;
};

}  // namespace bus_test

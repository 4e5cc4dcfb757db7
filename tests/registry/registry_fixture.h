#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/registry/registry.h"

namespace platform::registry::test {

// A private hive in a fresh temporary folder, reached through VT5_REGISTRY.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string readHive() const;
    void writeHive(std::string_view text) const;

    std::filesystem::path folder_;
    std::filesystem::path hive_;
};

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, std::string_view text);

// What queryValue gives for a value, through a buffer of exactly the size it asked for.
struct Queried {
    LSTATUS status = ERROR_SUCCESS;
    std::uint32_t type = REG_NONE;
    std::string data;
};
Queried query(const Key& key, std::string_view name);

}  // namespace platform::registry::test

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>

#include "platform/PosixRegistry.h"

namespace horalux {
namespace {

namespace fs = std::filesystem;

const std::string kToolKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";

class PosixRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("horalux-registry-" + std::to_string(getpid()));
        fs::create_directories(m_dir / "a");
        fs::create_directories(m_dir / "b");
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string makeFile(const std::string& folder, const std::string& name, bool executable) {
        const fs::path path = m_dir / folder / name;
        std::ofstream(path) << "#!/bin/sh\n";
        fs::permissions(path, executable ? fs::perms::owner_all : fs::perms::owner_read);
        return path.string();
    }
    std::string folder(const std::string& name) const { return (m_dir / name).string(); }

    // Reads the tool's path as a registry client does; empty when it cannot.
    static std::string toolPath(PosixRegistry& registry, std::int32_t* queryResult = nullptr) {
        RegistryKey key = kNoRegistryKey;
        if (registry.openKey(kLocalMachine, kToolKey, kRegistryAllAccessMask, key) !=
            RegistryResult::kSuccess) {
            return {};
        }
        std::array<std::uint8_t, 1024> buffer{};
        std::uint32_t size = buffer.size();
        std::uint32_t type = 0;
        const std::int32_t result = registry.queryValue(key, "PATH", type, buffer, size);
        EXPECT_EQ(registry.closeKey(key), RegistryResult::kSuccess);
        if (queryResult != nullptr) {
            *queryResult = result;
        }
        if (result != RegistryResult::kSuccess) {
            return {};
        }
        EXPECT_EQ(type, RegistryType::kString);
        EXPECT_EQ(buffer[size - 1], 0);
        return std::string(reinterpret_cast<const char*>(buffer.data()), size - 1);
    }

    fs::path m_dir;
};

// The first program of the list wins over a later one found earlier on the path; files
// that cannot run and relative folders are passed over.
TEST_F(PosixRegistryTest, AnswersWithTheFirstToolOnThePath) {
    makeFile("a", "gnome-system-monitor", true);
    makeFile("a", "hardinfo", false);
    const std::string hardinfo = makeFile("b", "hardinfo", true);
    PosixRegistry registry("relative:" + folder("a") + "::" + folder("b") + "/");
    EXPECT_EQ(toolPath(registry), hardinfo);

    PosixRegistry onlyA(folder("a"));
    EXPECT_EQ(toolPath(onlyA), folder("a") + "/gnome-system-monitor");
}

// No tool on the path: the key opens but the value is missing. Every other key is missing.
TEST_F(PosixRegistryTest, NoToolAndOtherKeys) {
    PosixRegistry registry(folder("a"));
    std::int32_t result = RegistryResult::kSuccess;
    EXPECT_EQ(toolPath(registry, &result), "");
    EXPECT_EQ(result, RegistryResult::kNotFound);

    RegistryKey key = 7;
    EXPECT_EQ(registry.openKey(kLocalMachine, "SOFTWARE\\Microsoft\\Shared Tools Location",
                               kRegistryAllAccessMask, key),
              RegistryResult::kNotFound);
    EXPECT_EQ(key, kNoRegistryKey);
    EXPECT_EQ(registry.closeKey(kNoRegistryKey), RegistryResult::kInvalidHandle);
}

}  // namespace
}  // namespace horalux

#pragma once

#include <string>
#include <vector>

#include "platform/Registry.h"

namespace horalux {

// The registry of a system that has none. It knows one key and value, the system-information
// tool's program file ("SOFTWARE\Microsoft\Shared Tools\MSINFO", value "PATH"), and answers
// it with the full path of the first of kSystemInfoPrograms found as an executable file in a
// folder of the search path. Every other key fails to open with kNotFound.
class PosixRegistry final : public Registry {
public:
    // Programs that show the system's information, in order of preference.
    static const std::vector<std::string> kSystemInfoPrograms;

    // Searches the folders of `searchPath`, separated by ':'; only absolute folders count.
    explicit PosixRegistry(std::string searchPath);
    // Searches the folders of the PATH environment variable.
    PosixRegistry();

    std::int32_t openKey(RegistryKey root, const std::string& subKey, std::uint32_t accessMask,
                         RegistryKey& key) override;
    std::int32_t queryValue(RegistryKey key, const std::string& name, std::uint32_t& type,
                            std::span<std::uint8_t> buffer, std::uint32_t& size) override;
    std::int32_t closeKey(RegistryKey key) override;

private:
    // Full path of the first system-information program on the search path; empty if none.
    std::string findSystemInfoProgram() const;

    std::string m_searchPath;
    // Keys handed out and not yet closed.
    std::vector<RegistryKey> m_open;
    RegistryKey m_lastKey = 0;
};

}  // namespace horalux

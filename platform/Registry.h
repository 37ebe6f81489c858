#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace horalux {

// A key of the system's configuration registry: a root or an opened sub-key; 0 is none.
using RegistryKey = std::uint32_t;
inline constexpr RegistryKey kNoRegistryKey = 0;
// The root of the machine-wide settings.
inline constexpr RegistryKey kLocalMachine = 0x80000002;

// Results of registry calls: 0 is success, anything else a system error code.
namespace RegistryResult {
inline constexpr std::int32_t kSuccess = 0;
inline constexpr std::int32_t kNotFound = 2;
inline constexpr std::int32_t kInvalidHandle = 6;
// The value's data do not fit the buffer.
inline constexpr std::int32_t kMoreData = 234;
}  // namespace RegistryResult

// Types of registry values.
namespace RegistryType {
inline constexpr std::uint32_t kString = 1;    // text, usually with its terminating NUL
inline constexpr std::uint32_t kBinary = 3;    // raw bytes
inline constexpr std::uint32_t kNumber32 = 4;  // 32-bit number, least significant byte first
}  // namespace RegistryType

// Access mask for opening a key: read control, query and set value, create and enumerate
// sub-keys, notify and create link.
inline constexpr std::uint32_t kRegistryAllAccessMask = 0x2003F;

// The system's configuration registry: keys opened by path under a root, values read by
// name. Every call answers with a RegistryResult; none of them throws.
class Registry {
public:
    virtual ~Registry() = default;

    // Opens `subKey` under `root`; on success `key` names the opened key, which the caller
    // closes with closeKey.
    virtual std::int32_t openKey(RegistryKey root, const std::string& subKey,
                                 std::uint32_t accessMask, RegistryKey& key) = 0;
    // Reads the value `name` of an opened key into `buffer`. `size` goes in as the
    // buffer's size in bytes. On success `type` is the value's type and `size` the length
    // of its data in bytes, a string's terminating NUL included. Data longer than the
    // buffer give kMoreData; a missing value gives kNotFound.
    virtual std::int32_t queryValue(RegistryKey key, const std::string& name, std::uint32_t& type,
                                    std::span<std::uint8_t> buffer, std::uint32_t& size) = 0;
    // Closes an opened key.
    virtual std::int32_t closeKey(RegistryKey key) = 0;
};

}  // namespace horalux

#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/Registry.h"

namespace horalux::test {

// A registry held in memory: values by (sub-key, value name) under kLocalMachine. Records
// every key opened and how it was opened, and which keys are still open.
class FakeRegistry : public Registry {
public:
    struct Value {
        std::uint32_t type = RegistryType::kString;
        std::vector<std::uint8_t> data;
    };
    struct OpenCall {
        std::string subKey;
        std::uint32_t accessMask = 0;
    };

    // A string value stored with its terminating NUL, as a registry normally keeps one.
    void setString(const std::string& subKey, const std::string& name, const std::string& text) {
        std::vector<std::uint8_t> data(text.begin(), text.end());
        data.push_back(0);
        values[{subKey, name}] = {RegistryType::kString, std::move(data)};
    }

    std::int32_t openKey(RegistryKey root, const std::string& subKey, std::uint32_t accessMask,
                         RegistryKey& key) override {
        opens.push_back({subKey, accessMask});
        key = kNoRegistryKey;
        const bool known = std::any_of(values.begin(), values.end(),
                                       [&](const auto& v) { return v.first.first == subKey; });
        if (root != kLocalMachine || !known) {
            return RegistryResult::kNotFound;
        }
        key = ++lastKey;
        keyPaths[key] = subKey;
        open.insert(key);
        return RegistryResult::kSuccess;
    }

    std::int32_t queryValue(RegistryKey key, const std::string& name, std::uint32_t& type,
                            std::span<std::uint8_t> buffer, std::uint32_t& size) override {
        if (open.count(key) == 0) {
            return RegistryResult::kInvalidHandle;
        }
        const auto it = values.find({keyPaths[key], name});
        if (it == values.end()) {
            return RegistryResult::kNotFound;
        }
        const std::vector<std::uint8_t>& data = it->second.data;
        if (data.size() > size || data.size() > buffer.size()) {
            size = static_cast<std::uint32_t>(data.size());
            return RegistryResult::kMoreData;
        }
        std::copy(data.begin(), data.end(), buffer.begin());
        type = it->second.type;
        size = static_cast<std::uint32_t>(data.size());
        return RegistryResult::kSuccess;
    }

    std::int32_t closeKey(RegistryKey key) override {
        return open.erase(key) == 1 ? RegistryResult::kSuccess : RegistryResult::kInvalidHandle;
    }

    std::map<std::pair<std::string, std::string>, Value> values;
    std::vector<OpenCall> opens;
    // Keys opened and not yet closed.
    std::set<RegistryKey> open;
    std::map<RegistryKey, std::string> keyPaths;
    RegistryKey lastKey = 0;
};

}  // namespace horalux::test

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace horalux {

// Where the time service listens.
struct ServiceAddress {
    std::string host = "127.0.0.1";  // name or numeric address, without brackets
    std::uint16_t port = 80;

    friend bool operator==(const ServiceAddress&, const ServiceAddress&) = default;
};

// Name of the environment variable that overrides the default address.
inline constexpr const char* kServerVariable = "HORALUX_SERVER";

// Parses "HOST", "HOST:PORT", "[IPv6]" or "[IPv6]:PORT". Nothing for an empty host, a
// port outside 1 to 65535, or text that is not of that shape.
std::optional<ServiceAddress> parseServiceAddress(std::string_view text);

// The address a setting of HORALUX_SERVER names (`setting`, empty when it is not set), or
// the default one. When the setting is not usable, `warning` gets a line saying so
// (without a line feed); otherwise it is emptied.
ServiceAddress serviceAddressFromSetting(std::string_view setting, std::string& warning);

}  // namespace horalux

#include "fetch/ServiceAddress.h"

#include <charconv>

namespace horalux {
namespace {

std::optional<std::uint16_t> parsePort(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value == 0 ||
        value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

}  // namespace

std::optional<ServiceAddress> parseServiceAddress(std::string_view text) {
    ServiceAddress address;
    std::string_view rest;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        address.host = std::string(text.substr(1, close - 1));
        rest = text.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') {
            return std::nullopt;
        }
    } else {
        const std::size_t colon = text.find(':');
        if (colon != std::string_view::npos &&
            text.find(':', colon + 1) != std::string_view::npos) {
            return std::nullopt;  // a bare IPv6 address needs brackets
        }
        address.host = std::string(text.substr(0, colon));
        rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon);
    }
    if (address.host.empty() || address.host.find_first_of(" \t\r\n/?#@") != std::string::npos) {
        return std::nullopt;
    }
    if (!rest.empty()) {
        const auto port = parsePort(rest.substr(1));
        if (!port) {
            return std::nullopt;
        }
        address.port = *port;
    }
    return address;
}

ServiceAddress serviceAddressFromSetting(std::string_view setting, std::string& warning) {
    warning.clear();
    if (setting.empty()) {
        return {};
    }
    if (auto parsed = parseServiceAddress(setting)) {
        return *parsed;
    }
    const ServiceAddress fallback;
    warning = std::string(kServerVariable) + "=\"" + std::string(setting) +
              "\" is not HOST[:PORT]; using " + fallback.host + ":" + std::to_string(fallback.port);
    return fallback;
}

}  // namespace horalux

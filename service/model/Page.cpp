#include "model/Page.h"

#include <random>

namespace zonarium {

namespace {

bool isAsciiAlnum(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string escapeMarkup(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

bool isWellFormedIdentifier(std::string_view identifier) {
    if (identifier.size() < kMinIdentifierLength || identifier.size() > kMaxIdentifierLength) {
        return false;
    }
    for (const char c : identifier) {
        if (!isAsciiAlnum(c)) {
            return false;
        }
    }
    return true;
}

std::string newIdentifier() {
    static constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 generator = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device()};
        return std::mt19937_64{seed};
    }();
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    std::string identifier(kNewIdentifierLength, ' ');
    for (char& c : identifier) {
        c = kAlphabet[pick(generator)];
    }
    return identifier;
}

}  // namespace zonarium

#include "model/TzifFile.h"

#include <algorithm>
#include <array>

namespace zonarium {

namespace {

// Counts in a header above this are refused.
constexpr std::int64_t kMaxCount = 100000;

// Reads big-endian numbers from the file's bytes; once it would go past their end it fails,
// and then reads only zeros.
class Reader {
public:
    explicit Reader(std::string_view bytes) : m_bytes(bytes) {}

    bool failed() const { return m_failed; }
    std::string_view take(std::size_t count) {
        if (m_failed || count > m_bytes.size() - m_at) {
            m_failed = true;
            return {};
        }
        const std::string_view part = m_bytes.substr(m_at, count);
        m_at += count;
        return part;
    }
    // A signed number of `width` bytes, 1 to 8.
    std::int64_t number(std::size_t width) {
        const std::string_view part = take(width);
        if (part.size() != width) {
            return 0;
        }
        std::uint64_t value = 0;
        for (const char c : part) {
            value = (value << 8) | static_cast<unsigned char>(c);
        }
        const unsigned shift = static_cast<unsigned>(64 - 8 * width);
        return static_cast<std::int64_t>(value << shift) >> shift;
    }
    std::string_view rest() const { return m_failed ? std::string_view() : m_bytes.substr(m_at); }

private:
    std::string_view m_bytes;
    std::size_t m_at = 0;
    bool m_failed = false;
};

// The counts of a TZif header.
struct Header {
    char version = 0;
    std::size_t utIndicators = 0;
    std::size_t standardIndicators = 0;
    std::size_t leaps = 0;
    std::size_t transitions = 0;
    std::size_t types = 0;
    std::size_t abbrevBytes = 0;
};

ZoneError readHeader(Reader& in, Header& header) {
    if (in.take(4) != "TZif") {
        return in.failed() ? ZoneError::CutShort : ZoneError::NotZoneFile;
    }
    const std::string_view version = in.take(1);
    header.version = version.empty() ? '\0' : version.front();
    in.take(15);
    const std::array<std::size_t*, 6> counts = {&header.utIndicators, &header.standardIndicators,
                                                &header.leaps,        &header.transitions,
                                                &header.types,        &header.abbrevBytes};
    for (std::size_t* count : counts) {
        const std::int64_t value = in.number(4);
        if (value < 0 || value > kMaxCount) {
            return ZoneError::BadHeader;
        }
        *count = static_cast<std::size_t>(value);
    }
    if (in.failed()) {
        return ZoneError::CutShort;
    }
    if (header.types == 0 || header.types > 256 || header.abbrevBytes == 0 ||
        (header.utIndicators != 0 && header.utIndicators != header.types) ||
        (header.standardIndicators != 0 && header.standardIndicators != header.types)) {
        return ZoneError::BadHeader;
    }
    return ZoneError::None;
}

std::size_t blockBytes(const Header& header, std::size_t timeBytes) {
    return header.transitions * (timeBytes + 1) + header.types * 6 + header.abbrevBytes +
           header.leaps * (timeBytes + 4) + header.standardIndicators + header.utIndicators;
}

// Reads the data block that follows `header`, with times of `timeBytes` bytes.
ZoneError readBlock(Reader& in, const Header& header, std::size_t timeBytes,
                    TzifContents& contents) {
    contents.transitions.reserve(header.transitions);
    for (std::size_t i = 0; i < header.transitions && !in.failed(); ++i) {
        const std::int64_t at = in.number(timeBytes);
        if (!contents.transitions.empty() && at <= contents.transitions.back()) {
            return in.failed() ? ZoneError::CutShort : ZoneError::TransitionsOutOfOrder;
        }
        contents.transitions.push_back(at);
    }
    for (std::size_t i = 0; i < header.transitions && !in.failed(); ++i) {
        const std::int64_t type = in.number(1) & 0xFF;
        if (static_cast<std::size_t>(type) >= header.types) {
            return ZoneError::BadTransition;
        }
        contents.transitionTypes.push_back(static_cast<std::uint8_t>(type));
    }
    std::vector<std::size_t> abbrevAt;
    for (std::size_t i = 0; i < header.types && !in.failed(); ++i) {
        ZoneType type;
        const std::int64_t offset = in.number(4);
        if (offset < -kMaxZoneOffset || offset > kMaxZoneOffset) {
            return ZoneError::BadOffset;
        }
        type.offset = static_cast<std::int32_t>(offset);
        type.dst = in.number(1) != 0;
        abbrevAt.push_back(static_cast<std::size_t>(in.number(1) & 0xFF));
        contents.types.push_back(std::move(type));
    }
    const std::string_view abbrevs = in.take(header.abbrevBytes);
    in.take(header.leaps * (timeBytes + 4) + header.standardIndicators + header.utIndicators);
    if (in.failed()) {
        return ZoneError::CutShort;
    }
    for (std::size_t i = 0; i < contents.types.size(); ++i) {
        const std::size_t end =
            abbrevAt[i] < abbrevs.size() ? abbrevs.find('\0', abbrevAt[i]) : std::string_view::npos;
        if (end == std::string_view::npos) {
            return ZoneError::BadAbbreviationIndex;
        }
        contents.types[i].abbrev = std::string(abbrevs.substr(abbrevAt[i], end - abbrevAt[i]));
        if (!isZoneAbbreviation(contents.types[i].abbrev)) {
            return ZoneError::BadAbbreviation;
        }
    }
    return ZoneError::None;
}

}  // namespace

bool isZoneAbbreviation(std::string_view text) {
    return !text.empty() && text.size() <= 16 && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '+' || c == '-';
    });
}

ZoneError readTzif(std::string_view bytes, TzifContents& contents) {
    contents = TzifContents();
    Reader in(bytes);
    Header header;
    ZoneError error = readHeader(in, header);
    std::size_t timeBytes = 4;
    if (error == ZoneError::None && header.version >= '2') {
        // The first block, of 32-bit times, is only for readers of version 1.
        in.take(blockBytes(header, 4));
        error = readHeader(in, header);
        timeBytes = 8;
    }
    if (error == ZoneError::None) {
        error = readBlock(in, header, timeBytes, contents);
    }
    if (error == ZoneError::None && timeBytes == 8) {
        const std::string_view rest = in.rest();
        const std::size_t end = rest.size() > 1 ? rest.find('\n', 1) : std::string_view::npos;
        if (rest.empty() || rest.front() != '\n' || end == std::string_view::npos) {
            error = ZoneError::NoFooter;
        } else {
            contents.footer = std::string(rest.substr(1, end - 1));
        }
    }
    if (error != ZoneError::None) {
        contents = TzifContents();
    }
    return error;
}

}  // namespace zonarium

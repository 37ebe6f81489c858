#pragma once

#include <string_view>

namespace zonarium {

// Why a zone could not be read.
enum class ZoneError {
    None,
    // No zone of that name: a name that is no plain relative zone name, or no file.
    UnknownZone,
    // The zone file is not a regular file (a FIFO, a device, a directory), too large or
    // unreadable.
    NotRegularFile,
    FileTooLarge,
    FileUnreadable,
    // The file's bytes are no zone file, or a malformed one.
    NotZoneFile,
    CutShort,
    BadHeader,
    TransitionsOutOfOrder,
    BadTransition,
    BadOffset,
    BadAbbreviationIndex,
    BadAbbreviation,
    NoFooter,
    // The footer's TZ rule string is malformed.
    BadRule,
};

// What the error says, e.g. "time zone file malformed: zone file cut short".
std::string_view to_string(ZoneError error);

}  // namespace zonarium

#include "model/ZoneError.h"

namespace zonarium {

std::string_view to_string(ZoneError error) {
    switch (error) {
        case ZoneError::None:
            return "no error";
        case ZoneError::UnknownZone:
            return "unknown time zone";
        case ZoneError::NotRegularFile:
            return "time zone file not a regular file";
        case ZoneError::FileTooLarge:
            return "time zone file too large";
        case ZoneError::FileUnreadable:
            return "time zone file unreadable";
        case ZoneError::NotZoneFile:
            return "time zone file malformed: not a zone file";
        case ZoneError::CutShort:
            return "time zone file malformed: zone file cut short";
        case ZoneError::BadHeader:
            return "time zone file malformed: bad zone file header";
        case ZoneError::TransitionsOutOfOrder:
            return "time zone file malformed: zone file transitions out of order";
        case ZoneError::BadTransition:
            return "time zone file malformed: bad zone file transition";
        case ZoneError::BadOffset:
            return "time zone file malformed: bad zone file offset";
        case ZoneError::BadAbbreviationIndex:
            return "time zone file malformed: bad zone file abbreviation";
        case ZoneError::BadAbbreviation:
            return "time zone file malformed: bad time zone abbreviation";
        case ZoneError::NoFooter:
            return "time zone file malformed: zone file without its footer";
        case ZoneError::BadRule:
            return "time zone file malformed: bad time zone rule";
    }
    return "time zone file malformed";
}

}  // namespace zonarium

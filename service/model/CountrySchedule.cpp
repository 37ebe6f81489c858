#include "model/CountrySchedule.h"

#include <date/date.h>

namespace zonarium {

Instant aheadRenderTime(int land, Instant minute) {
    // Milliseconds into the minute before, from 5 s on, a 236th of 50 s apart.
    const auto spread = std::chrono::milliseconds{5000 + 50000 * (land - kFirstLand) /
                                                             (kLastLand - kFirstLand + 1)};
    return date::floor<std::chrono::seconds>(minute - std::chrono::minutes{1} + spread);
}

}  // namespace zonarium

#pragma once

#include <cstdint>
#include <string>

#include "fetch/RetrievalView.h"

namespace horalux {

// 16-bit flag values: set is -1, clear is 0.
inline constexpr std::int16_t kFlagSet = -1;
inline constexpr std::int16_t kFlagClear = 0;

// The main window's shared state: the fetch's handles and identifier, and the flags the
// progress display and the connectivity watch share. Everything is zero (none, empty) at
// creation.
struct MainState : RetrievalState {
    // A time fetch is running (flag).
    std::int16_t FetchBusy = kFlagClear;
    // How far the scan line moves per tick, in twips.
    std::int16_t ScanStep = 0;
    // The connectivity watch has ticked at least once (flag).
    std::int16_t WatchStarted = kFlagClear;
    // Height of the scan line, in twips from the client area's top (0 to 6899).
    std::int16_t ScanPos = 0;
    // Inverted on every tick of the status label's animation (flag).
    std::int16_t AniPhase = kFlagClear;
    // Top of the status label, in twips from the progress panel's top.
    std::int16_t AniTop = 0;
};

}  // namespace horalux

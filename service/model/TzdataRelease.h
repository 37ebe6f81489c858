#pragma once

#include <string>

namespace zonarium {

// Directory of the system tzdata, read when TZDIR does not name another.
inline constexpr const char* kSystemZoneinfo = "/usr/share/zoneinfo";

// The tzdata release named by the "# version RELEASE" line of `directory`/tzdata.zi, e.g.
// "2025b", else by the first line of `directory`/+VERSION; "unknown" when neither file has
// it (tzdata.zi's line must come before its first non-comment line), or it names a release
// that is not 1..20 ASCII letters, digits, '.', '-' or '+' (so the text is safe in a page and
// a terminal). Only regular files are read, opened without blocking, and only their start.
std::string readTzdataRelease(const std::string& directory);

// The release of the tzdata the service's zones come from: readTzdataRelease of
// zoneDirectory(), read anew on each call.
std::string systemTzdataRelease();

// What `zonariumd --version` prints: the program's version and systemTzdataRelease(), e.g.
// "zonariumd 2.3.0.1\ntzdata 2025b\n".
std::string versionText();

}  // namespace zonarium

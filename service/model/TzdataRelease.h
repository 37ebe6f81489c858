#pragma once

#include <string>

namespace zonarium {

// Directory of the system tzdata, the one the date library reads its zones from.
inline constexpr const char* kSystemZoneinfo = "/usr/share/zoneinfo";

// The tzdata release named by the "# version RELEASE" line of `directory`/tzdata.zi, e.g.
// "2025b"; "unknown" when the file is missing or unreadable, has no such line before its
// first non-comment line, or names a release that is not 1..20 ASCII letters, digits, '.',
// '-' or '+' (so the text is safe in a page and a terminal).
std::string readTzdataRelease(const std::string& directory);

// The release of the tzdata the service's zones come from: the date library's own version
// when it knows one, else readTzdataRelease(kSystemZoneinfo). Read once; thread-safe.
const std::string& systemTzdataRelease();

// What `zonariumd --version` prints: the program's version and systemTzdataRelease(), e.g.
// "zonariumd 2.3.0.1\ntzdata 2025b\n".
std::string versionText();

}  // namespace zonarium

#pragma once

#include <string>

namespace zonarium {

// The places file served when none is named: the one installed beside the program
// (`relativeToProgram`, from the program's own folder), else the source tree's (`fallback`),
// which a program run from its build tree uses. `program` is the running program's path;
// empty asks the system for it.
std::string defaultPlacesFile(const std::string& relativeToProgram, const std::string& fallback,
                              std::string program = {});

}  // namespace zonarium

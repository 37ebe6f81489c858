#include "daemon/PlacesFile.h"

#include <filesystem>
#include <system_error>

namespace zonarium {

std::string defaultPlacesFile(const std::string& relativeToProgram, const std::string& fallback,
                              std::string program) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (program.empty()) {
        program = fs::read_symlink("/proc/self/exe", error).string();
    }
    if (!program.empty() && !error) {
        const fs::path installed = fs::path(program).parent_path() / relativeToProgram;
        if (fs::is_regular_file(installed, error)) {
            return installed.lexically_normal().string();
        }
    }
    return fallback;
}

}  // namespace zonarium

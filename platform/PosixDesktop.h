#pragma once

#include "platform/Desktop.h"

namespace horalux {

// The parts of the desktop that plain POSIX answers: environment, files, starting
// programs and the location of the loaded HTTP client library. Message boxes and the
// clipboard are left to a toolkit layer.
class PosixDesktop : public Desktop {
public:
    bool startProgram(const std::vector<std::string>& argv, int windowStyle) override;
    std::string environmentVariable(const std::string& name) override;
    FileLength fileLength(const std::string& path) override;
    std::string systemDirectory() override;
    std::string httpLibraryFileName() override;
};

}  // namespace horalux

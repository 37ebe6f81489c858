#pragma once

#include "platform/PosixDesktop.h"

namespace horalux {

// The desktop with message boxes and the clipboard from Qt Widgets.
class QtDesktop final : public PosixDesktop {
public:
    void messageBox(const std::string& text, int style, const std::string& title) override;
    void setClipboardText(const std::string& text) override;
};

}  // namespace horalux

#pragma once

#include <string>

namespace horalux {

// A thin view of the About box: what its handlers write. Texts are ISO-8859-1 byte strings.
class AboutView {
public:
    virtual ~AboutView() = default;

    // The dialog's title bar.
    virtual void setCaption(const std::string& caption) = 0;
    // The program's title, in large type (lblTitle).
    virtual void setTitle(const std::string& title) = 0;
    // The version line (lblVersion), which grows to fit its text.
    virtual void setVersion(const std::string& version) = 0;
    // Gives the dialog the main window's icon.
    virtual void useMainWindowIcon() = 0;
    // Closes the dialog, which ends its modal showing.
    virtual void unload() = 0;
};

}  // namespace horalux

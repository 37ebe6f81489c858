#pragma once

#include <string>

#include "dialogs/AboutView.h"
#include "platform/Desktop.h"
#include "platform/Registry.h"

namespace horalux {

// What the About box tells of the program.
struct ProgramInfo {
    // The application title.
    std::string title;
    int major = 0;
    int minor = 0;
    int revision = 0;
};

// Where the system-information tool is recorded, both under kLocalMachine: first the full
// path of its program file, then the folder that holds kSysInfoFileName.
inline constexpr const char* kSysInfoPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr const char* kSysInfoPathValue = "PATH";
inline constexpr const char* kSysInfoFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr const char* kSysInfoFolderValue = "MSINFO";
inline constexpr const char* kSysInfoFileName = "MSINFO32.EXE";
// Shown when the tool cannot be found or started.
inline constexpr const char* kSysInfoUnavailable = "System Information Is Unavailable At This Time";
// Size of the buffer a registry value is read into, in bytes; longer values are not read.
inline constexpr std::uint32_t kKeyValueBufferSize = 1024;

// The About box's handlers, written against a thin view of its controls, the registry and
// the desktop, so that they run without a toolkit.
class FrmAboutLogic {
public:
    FrmAboutLogic(AboutView& view, Registry& registry, Desktop& desktop, ProgramInfo program);

    // Fills the caption, title, version and icon.
    void Form_Load();
    // Closes the dialog.
    void cmdOK_Click();
    // Starts the system-information tool.
    void cmdSysInfo_Click();

    // Finds the system-information tool through the registry and starts it in a normal
    // window with the focus; when it cannot be found or started, says so in a message box
    // under the application title. Never fails to its caller.
    void StartSysInfo();
    // Reads the value `SubKeyRef` of the key `KeyName` under `KeyRoot` as text into
    // `KeyVal`: a string without its terminating NUL, a 32-bit number in decimal. Returns
    // false, with `KeyVal` empty, when the key cannot be opened or the value cannot be read
    // (missing, or longer than kKeyValueBufferSize bytes). A value of any other type
    // returns true and leaves `KeyVal` as it was.
    bool GetKeyValue(const RegistryKey& KeyRoot, const std::string& KeyName,
                     const std::string& SubKeyRef, std::string& KeyVal);

private:
    AboutView& m_view;
    Registry& m_registry;
    Desktop& m_desktop;
    ProgramInfo m_program;
};

}  // namespace horalux

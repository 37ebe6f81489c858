#include "dialogs/FrmAboutLogic.h"

#include <array>
#include <utility>

namespace horalux {

FrmAboutLogic::FrmAboutLogic(AboutView& view, Registry& registry, Desktop& desktop,
                             ProgramInfo program)
    : m_view(view), m_registry(registry), m_desktop(desktop), m_program(std::move(program)) {}

void FrmAboutLogic::Form_Load() {
    m_view.setCaption("About " + m_program.title);
    m_view.setVersion("Version " + std::to_string(m_program.major) + "." +
                      std::to_string(m_program.minor) + "." + std::to_string(m_program.revision));
    m_view.setTitle(m_program.title);
    m_view.useMainWindowIcon();
}

void FrmAboutLogic::cmdOK_Click() {
    m_view.unload();
}

void FrmAboutLogic::cmdSysInfo_Click() {
    StartSysInfo();
}

void FrmAboutLogic::StartSysInfo() {
    std::string InfoToolPath;
    // The path recorded first is used as it stands; the folder recorded second only when
    // the tool's program file is in it.
    if (!GetKeyValue(kLocalMachine, kSysInfoPathKey, kSysInfoPathValue, InfoToolPath)) {
        if (!GetKeyValue(kLocalMachine, kSysInfoFolderKey, kSysInfoFolderValue, InfoToolPath)) {
            m_desktop.messageBox(kSysInfoUnavailable, MessageStyle::kOkOnly, m_program.title);
            return;
        }
        const std::string file = InfoToolPath + "/" + kSysInfoFileName;
        if (m_desktop.fileLength(file).status != FileLength::Status::Ok) {
            m_desktop.messageBox(kSysInfoUnavailable, MessageStyle::kOkOnly, m_program.title);
            return;
        }
        InfoToolPath = file;
    }
    // The path is one program file, never split into words; an empty one cannot start.
    if (InfoToolPath.empty() ||
        !m_desktop.startProgram({InfoToolPath}, WindowStyle::kNormalFocus)) {
        m_desktop.messageBox(kSysInfoUnavailable, MessageStyle::kOkOnly, m_program.title);
    }
}

bool FrmAboutLogic::GetKeyValue(const RegistryKey& KeyRoot, const std::string& KeyName,
                                const std::string& SubKeyRef, std::string& KeyVal) {
    RegistryKey key = kNoRegistryKey;
    if (m_registry.openKey(KeyRoot, KeyName, kRegistryAllAccessMask, key) !=
        RegistryResult::kSuccess) {
        KeyVal.clear();
        return false;
    }
    std::array<std::uint8_t, kKeyValueBufferSize> buffer{};
    std::uint32_t size = kKeyValueBufferSize;
    std::uint32_t type = 0;
    const std::int32_t result = m_registry.queryValue(key, SubKeyRef, type, buffer, size);
    m_registry.closeKey(key);
    if (result != RegistryResult::kSuccess || size > kKeyValueBufferSize) {
        KeyVal.clear();
        return false;
    }

    // The data as text, less a terminating NUL; a size of 0 gives the empty text.
    std::size_t length = size;
    if (length > 0 && buffer[length - 1] == 0) {
        --length;
    }
    if (type == RegistryType::kString) {
        KeyVal.assign(reinterpret_cast<const char*>(buffer.data()), length);
    } else if (type == RegistryType::kNumber32) {
        std::uint32_t number = 0;
        for (std::size_t i = std::min<std::size_t>(length, 4); i > 0; --i) {
            number = (number << 8) | buffer[i - 1];
        }
        KeyVal = std::to_string(number);
    }
    return true;
}

}  // namespace horalux

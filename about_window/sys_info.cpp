// The About window's launcher of the system-information tool.
#include <array>
#include <exception>
#include <string>

#include "about_window/frm_about.h"
#include "platform/services.h"
#include "search_module/number_text.h"

namespace quorvin {

namespace {

using platform::services;

constexpr char kToolKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr char kToolValue[] = "PATH";
constexpr char kToolFolderKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr char kToolFolderValue[] = "MSINFO";
constexpr char16_t kToolFileName[] = u"\\MSINFO32.EXE";

}  // namespace

bool frmAbout::GetKeyValue(platform::RegistryKey KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                           std::u16string& KeyVal)
{
    platform::RegistryService& registry = *services().registry;
    platform::RegistryKey key = 0;
    // Read access is all this needs; asking for more would fail for users who may not write the key.
    if (registry.openKey(KeyRoot, KeyName, platform::kKeyRead, key) != 0) {
        KeyVal.clear();
        return false;
    }

    std::array<std::uint8_t, 1024> buffer{};
    std::uint32_t size = buffer.size();
    std::uint32_t type = 0;
    bool read = registry.queryValue(key, SubKeyRef, type, buffer, size) == 0 && size > 0;
    // The registry's editors store an empty text as its closing NUL alone.
    read = read && !(type == platform::kRegSz && size == 1 && buffer[0] == 0);
    if (!read) {
        KeyVal.clear();  // missing, too large, or empty: an empty value is no path either
    } else if (type == platform::kRegSz) {
        const std::size_t kept = buffer[size - 1] == 0 ? size - 1 : size;
        KeyVal =
            services().locale->codePage().decode(std::string_view(reinterpret_cast<const char*>(buffer.data()), kept));
    } else if (type == platform::kRegDword) {
        std::uint32_t number = 0;
        for (std::size_t i = std::min<std::size_t>(size, 4); i-- > 0;) {
            number = (number << 8) | buffer[i];
        }
        KeyVal = integerToText(number);
    }
    registry.closeKey(key);
    return read;
}

void frmAbout::StartSysInfo()
{
    try {
        std::u16string path;
        if (GetKeyValue(platform::kHKeyLocalMachine, kToolKey, kToolValue, path)) {
            services().processStart->start(path, platform::kShowNormalFocus);
            return;
        }
        if (GetKeyValue(platform::kHKeyLocalMachine, kToolFolderKey, kToolFolderValue, path) &&
            services().fileExists->exists(path + kToolFileName)) {
            services().processStart->start(path + kToolFileName, platform::kShowNormalFocus);
            return;
        }
        // No registry names the tool (Linux has none): the desktop's own program, if it has one.
        if (services().desktopSystemInfo->start()) {
            return;
        }
    } catch (const std::exception&) {
        // Every failure ends in the one message below.
    }
    services().titledMessageBox->show(u"Information Systeme introuvable !", platform::kStyleOkOnly, std::nullopt);
}

}  // namespace quorvin

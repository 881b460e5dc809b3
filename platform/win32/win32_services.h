#pragma once
// The Windows front end's services: each one a thin layer over the Win32 calls it is named after.
#include <memory>
#include <optional>

#include "platform/services.h"

namespace quorvin::platform::win32 {

class MessageBoxes final : public MessageBoxService {
public:
    void show(WindowHandle owner, std::u16string_view text, std::u16string_view caption, int type) override;
};

class TitledMessageBoxes final : public TitledMessageBoxService {
public:
    explicit TitledMessageBoxes(ApplicationService& application) : application_(application) {}
    void show(std::u16string_view text, int style, const std::optional<std::u16string>& title) override;

private:
    ApplicationService& application_;
};

class OpenFileDialog final : public OpenFileDialogService {
public:
    bool show(OpenFileRecord& record) override;
};

class ShellOpen final : public ShellOpenService {
public:
    void open(WindowHandle owner, std::u16string_view verb, std::u16string_view target, std::u16string_view parameters,
              std::u16string_view workingFolder, int showState) override;
};

class ProcessStart final : public ProcessStartService {
public:
    void start(std::u16string_view programPath, int windowStyle) override;
};

class FileExists final : public FileExistsService {
public:
    bool exists(std::u16string_view fileName) override;
    bool isFile(std::u16string_view fileName) override;
};

class Registry final : public RegistryService {
public:
    long openKey(RegistryKey root, std::string_view subKey, std::uint32_t access, RegistryKey& opened) override;
    long queryValue(RegistryKey key, std::string_view valueName, std::uint32_t& type, std::span<std::uint8_t> buffer,
                    std::uint32_t& size) override;
    long closeKey(RegistryKey key) override;
};

class BinaryFiles final : public BinaryFileService {
public:
    std::unique_ptr<BinaryFile> openRead(std::u16string_view path) override;
};

// Windows names its tool in the registry: no desktop program is looked for.
class DesktopSystemInfo final : public DesktopSystemInfoService {
public:
    bool start() override;
};

class Clock final : public ClockService {
public:
    double timeOfDay() override;
    std::int64_t steadyMilliseconds() override;
};

class UserLocale final : public LocaleService {
public:
    UserLocale();
    char16_t decimalSeparator() override { return separator_; }
    const CodePage& codePage() override { return *codePage_; }

private:
    char16_t separator_;
    std::unique_ptr<CodePage> systemPage_;  // empty when Windows-1252 stands in
    const CodePage* codePage_;
};

class Application final : public ApplicationService {
public:
    explicit Application(InstanceHandle instance) : instance_(instance) {}
    std::u16string title() override { return u"Quorvin"; }
    Version version() override;
    std::u16string executableFolder() override;
    InstanceHandle instance() override { return instance_; }

private:
    InstanceHandle instance_;
};

}  // namespace quorvin::platform::win32

#pragma once
// The Linux front end's platform services on Qt 6 Widgets, except the window system (window_system.h)
// and the file reader (binary_file.h). Each is implemented in the file named after its interface.
#include <QMessageBox>

#include "platform/services.h"

namespace quorvin::platform::qt {

// Shows a modal message box over `owner` (none: modal to the whole program); returns once dismissed.
void showMessage(QWidget* owner, std::u16string_view text, const QString& caption, int type);

class QtMessageBox final : public MessageBoxService {
public:
    void show(WindowHandle owner, std::u16string_view text, std::u16string_view caption, int type) override;
};

class QtTitledMessageBox final : public TitledMessageBoxService {
public:
    explicit QtTitledMessageBox(ApplicationService& application) : application_(application) {}
    void show(std::u16string_view text, int style, const std::optional<std::u16string>& title) override;

private:
    ApplicationService& application_;
};

// The desktop's own dialog where Qt's platform theme or the desktop portal offers one, else Qt's own.
// Without an initial folder it opens where the last file was chosen in this run; it keeps nothing
// between runs, and tells icons and types of files by their names only. One dialog serves the whole
// process and is never destroyed, so that closing it never waits on a stalled look at a file.
class QtOpenFileDialog final : public OpenFileDialogService {
public:
    bool show(OpenFileRecord& record) override;

private:
    QString lastFolder_;
};

class QtShellOpen final : public ShellOpenService {
public:
    void open(WindowHandle owner, std::u16string_view verb, std::u16string_view target, std::u16string_view parameters,
              std::u16string_view workingFolder, int showState) override;
};

class QtProcessStart final : public ProcessStartService {
public:
    void start(std::u16string_view programPath, int windowStyle) override;
};

class QtFileExists final : public FileExistsService {
public:
    bool exists(std::u16string_view fileName) override;
    bool isFile(std::u16string_view fileName) override;
};

// Linux has no registry: every key is missing.
class NoRegistry final : public RegistryService {
public:
    long openKey(RegistryKey root, std::string_view subKey, std::uint32_t access, RegistryKey& opened) override;
    long queryValue(RegistryKey key, std::string_view valueName, std::uint32_t& type, std::span<std::uint8_t> buffer,
                    std::uint32_t& size) override;
    long closeKey(RegistryKey key) override;
};

// Looks on PATH for the system-information program of the user's desktop, then for those of any desktop.
class QtDesktopSystemInfo final : public DesktopSystemInfoService {
public:
    bool start() override;
};

class QtClock final : public ClockService {
public:
    double timeOfDay() override;
    std::int64_t steadyMilliseconds() override;
};

class QtLocale final : public LocaleService {
public:
    char16_t decimalSeparator() override;
    const CodePage& codePage() override;
};

class QtApplication final : public ApplicationService {
public:
    std::u16string title() override { return u"Quorvin"; }
    Version version() override;
    std::u16string executableFolder() override;
    InstanceHandle instance() override { return 0; }
};

}  // namespace quorvin::platform::qt

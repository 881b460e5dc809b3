#include "platform/win32/program.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "platform/win32/win32_services.h"
#include "platform/win32/window_system.h"

namespace quorvin::platform::win32 {

namespace {

// The common controls and a COM apartment, for as long as the services live: the shell may hand a link
// to a COM handler.
struct Apartment {
    Apartment()
    {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
        InitCommonControlsEx(&controls);
        com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    }
    ~Apartment()
    {
        if (SUCCEEDED(com)) {
            CoUninitialize();
        }
    }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
    HRESULT com;
};

}  // namespace

struct Program::Parts {
    Apartment apartment;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    Application application{reinterpret_cast<InstanceHandle>(instance)};
    MessageBoxes messageBoxes;
    TitledMessageBoxes titledMessageBoxes{application};
    OpenFileDialog openFileDialog;
    ShellOpen shellOpen;
    ProcessStart processStart;
    FileExists fileExists;
    Registry registry;
    BinaryFiles binaryFiles;
    Clock clock;
    UserLocale locale;
    WindowSystem windows{instance};
    DesktopSystemInfo desktopSystemInfo;
    Services previous = services();
};

Program::Program() : parts_(std::make_unique<Parts>())
{
    Parts& p = *parts_;
    services() = {
        .messageBox = &p.messageBoxes,
        .titledMessageBox = &p.titledMessageBoxes,
        .openFileDialog = &p.openFileDialog,
        .shellOpen = &p.shellOpen,
        .processStart = &p.processStart,
        .fileExists = &p.fileExists,
        .registry = &p.registry,
        .binaryFiles = &p.binaryFiles,
        .clock = &p.clock,
        .locale = &p.locale,
        .application = &p.application,
        .windows = &p.windows,
        .desktopSystemInfo = &p.desktopSystemInfo,
    };
}

Program::~Program()
{
    services() = parts_->previous;
}

CommandLine Program::commandLine() const
{
    return readCommandLine(GetCommandLineW());
}

void Program::inform(std::u16string_view text)
{
    parts_->titledMessageBoxes.show(text, kStyleInformation, std::nullopt);
}

int Program::run()
{
    return parts_->windows.run();
}

}  // namespace quorvin::platform::win32

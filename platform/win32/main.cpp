// The Windows program: installs the Win32 services, opens the main window and runs the message loop.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "main_window/frm_scan.h"
#include "platform/win32/command_line.h"
#include "platform/win32/win32_services.h"
#include "platform/win32/window_system.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    using namespace quorvin::platform::win32;

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    // The shell may hand a link to a COM handler.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    Application application(reinterpret_cast<quorvin::platform::InstanceHandle>(instance));
    MessageBoxes messageBoxes;
    TitledMessageBoxes titledMessageBoxes(application);
    OpenFileDialog openFileDialog;
    ShellOpen shellOpen;
    ProcessStart processStart;
    FileExists fileExists;
    Registry registry;
    BinaryFiles binaryFiles;
    Clock clock;
    UserLocale locale;
    WindowSystem windows(instance);
    DesktopSystemInfo desktopSystemInfo;
    quorvin::platform::services() = {
        .messageBox = &messageBoxes,
        .titledMessageBox = &titledMessageBoxes,
        .openFileDialog = &openFileDialog,
        .shellOpen = &shellOpen,
        .processStart = &processStart,
        .fileExists = &fileExists,
        .registry = &registry,
        .binaryFiles = &binaryFiles,
        .clock = &clock,
        .locale = &locale,
        .application = &application,
        .windows = &windows,
        .desktopSystemInfo = &desktopSystemInfo,
    };

    const CommandLine commandLine = readCommandLine(GetCommandLineW());
    int exitCode = 0;
    if (commandLine.help) {
        titledMessageBoxes.show(usage(), quorvin::platform::kStyleInformation, std::nullopt);
    } else {
        quorvin::FrmScan form;
        form.show();  // the focus goes to the search text: the button is disabled until a text is typed
        form.OpenWith(commandLine.files);
        exitCode = windows.run();
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    return exitCode;
}

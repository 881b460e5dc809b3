#pragma once
// The platform services the core calls, installed once by the front end (or by a test) before any window
// is created. Every pointer is set for the program's whole life; the core never owns them.
#include "platform/application.h"
#include "platform/binary_file.h"
#include "platform/clock.h"
#include "platform/desktop_system_info.h"
#include "platform/file_exists.h"
#include "platform/message_box.h"
#include "platform/open_file_dialog.h"
#include "platform/process_start.h"
#include "platform/registry.h"
#include "platform/shell_open.h"
#include "platform/titled_message_box.h"
#include "platform/user_locale.h"
#include "platform/window_system.h"

namespace quorvin::platform {

struct Services {
    MessageBoxService* messageBox = nullptr;
    TitledMessageBoxService* titledMessageBox = nullptr;
    OpenFileDialogService* openFileDialog = nullptr;
    ShellOpenService* shellOpen = nullptr;
    ProcessStartService* processStart = nullptr;
    FileExistsService* fileExists = nullptr;
    RegistryService* registry = nullptr;
    BinaryFileService* binaryFiles = nullptr;
    ClockService* clock = nullptr;
    LocaleService* locale = nullptr;
    ApplicationService* application = nullptr;
    WindowSystemService* windows = nullptr;
    DesktopSystemInfoService* desktopSystemInfo = nullptr;
};

// The installed services.
Services& services();

}  // namespace quorvin::platform

// Quorvin for Windows: the main window, on the Win32 services.
#include <array>

#include "app/command_line.h"
#include "main_window/frm_scan.h"
#include "platform/win32/program.h"

namespace {

constexpr std::array<quorvin::command_line::OptionHelp, 1> kOptions{{{u"/?", u"affiche cette aide"}}};

}  // namespace

// A Windows program with the wide C runtime's entry point: its arguments are read from the command line
// Windows keeps, as Explorer wrote it.
int wmain()
{
    quorvin::platform::win32::Program program;
    const quorvin::platform::win32::CommandLine commandLine = program.commandLine();
    if (commandLine.help) {
        program.inform(quorvin::command_line::usage(u"Quorvin.exe", kOptions));
        return 0;
    }
    quorvin::FrmScan form;
    form.show();  // the focus goes to the search text: the button is disabled until a text is typed
    form.OpenWith(commandLine.files);
    return program.run();
}

// Quorvin for Linux: the main window, on the Qt services.
#include <iostream>

#include "app/qt/command_line.h"
#include "main_window/frm_scan.h"
#include "platform/qt/program.h"

int main(int argc, char* argv[])
{
    std::vector<std::u16string> files;
    if (const auto exitCode =
            quorvin::app::readCommandLine({argv, static_cast<std::size_t>(argc)}, files, std::cout, std::cerr)) {
        return *exitCode;
    }
    quorvin::platform::qt::Program program(argc, argv);
    quorvin::FrmScan form;
    form.show();
    // Once the window is up, so that a message about the file has its owner on screen.
    return program.run([&form, &files] { form.OpenWith(files); });
}

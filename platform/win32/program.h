#pragma once
// The Windows program's life, for its entry point: the common controls and COM set up and every Win32
// service installed while a Program lives, then the message loop. No Win32 type shows here.
#include <memory>
#include <string_view>

#include "platform/win32/command_line.h"

namespace quorvin::platform::win32 {

class Program {
public:
    Program();
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The command line the program was started with.
    CommandLine commandLine() const;
    // `text` in a message box of the program's own, for the usage of "/?".
    void inform(std::u16string_view text);
    // Handles the program's messages until the main window ends it; its exit code.
    int run();

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace quorvin::platform::win32

#pragma once
// The Linux program's command line as Qt reads it: Quorvin's options and Qt's own (-platform, -style...),
// which QApplication then reads itself. Nothing here needs a display, so that --help and --version work
// without one; the words the program answers with are its own.
#include <span>
#include <string>
#include <vector>

namespace quorvin::platform::qt {

struct CommandLine {
    std::u16string program;                      // the name it was started by, without its folder
    bool help = false;                           // -h, --help
    bool version = false;                        // --version
    bool missingValue = false;                   // an option that takes a value was given none
    std::vector<std::u16string> unknownOptions;  // options neither Quorvin nor Qt knows, without their dashes
    // The files named, with the very bytes given, made absolute by their names alone (a ".." is left for
    // the file service's openedPath(), which looks at the folders); an empty name names none.
    std::vector<std::u16string> files;
    bool displayReachable = false;  // Qt's platform plugin can start: it needs no display, or has one
};

CommandLine readCommandLine(std::span<char* const> arguments);

}  // namespace quorvin::platform::qt

#pragma once
// Quorvin's command line on Linux: « quorvin [OPTION] [FICHIER...] ».
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

namespace quorvin::app {

// Reads the command line before any display is reached, so that --help and --version work without one.
// --help and --version print to `out` and give exit code 0; an option neither Quorvin nor Qt knows prints
// the usage to `err` and gives 2; without a display for the windows (nor a platform that needs none) it
// says so to `err` and gives 1; otherwise no code, and `files` holds the files named, as absolute paths
// with the very bytes given. Qt's own options (-platform, -style...) are let through for QApplication.
std::optional<int> readCommandLine(std::span<char* const> arguments, std::vector<std::u16string>& files,
                                   std::ostream& out, std::ostream& err);

}  // namespace quorvin::app

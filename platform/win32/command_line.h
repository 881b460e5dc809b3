#pragma once
// Quorvin's command line on Windows: « Quorvin.exe [/?] [FICHIER...] », which is also how Explorer's
// « Ouvrir avec », « Envoyer vers » and a file dropped on the program's icon hand it a file.
#include <string>
#include <vector>

namespace quorvin::platform::win32 {

struct CommandLine {
    bool help = false;                  // "/?": show the usage and end
    std::vector<std::u16string> files;  // full paths
};

CommandLine readCommandLine(const wchar_t* commandLine);

}  // namespace quorvin::platform::win32

#include "app/qt/command_line.h"

#include <array>

#include "app/command_line.h"
#include "platform/posix/native_path.h"
#include "platform/qt/command_line.h"

namespace quorvin::app {

namespace {

constexpr std::array<command_line::OptionHelp, 2> kOptions{{
    {u"-h, --help", u"affiche cette aide et s'arrête"},
    {u"--version", u"affiche la version et s'arrête"},
}};

// The terminal takes the bytes the program was started with, most often UTF-8.
std::string bytes(std::u16string_view text)
{
    return platform::posix::toNativePath(text);
}

}  // namespace

std::optional<int> readCommandLine(std::span<char* const> arguments, std::vector<std::u16string>& files,
                                   std::ostream& out, std::ostream& err)
{
    platform::qt::CommandLine read = platform::qt::readCommandLine(arguments);
    const std::string program = bytes(read.program);
    const std::string usage = bytes(command_line::usage(read.program, kOptions));
    if (read.missingValue || !read.unknownOptions.empty()) {
        if (read.missingValue) {
            err << program << " : il manque une valeur après une option\n";
        }
        for (const std::u16string& name : read.unknownOptions) {
            err << program << " : option inconnue « " << (name.size() == 1 ? "-" : "--") << bytes(name) << " »\n";
        }
        err << usage;
        return 2;
    }
    if (read.help) {
        out << usage;
        return 0;
    }
    if (read.version) {
        out << bytes(command_line::versionText()) << '\n';
        return 0;
    }
    if (!read.displayReachable) {
        // Said before Qt aborts with its own words, in English.
        err << program << " : aucun affichage n'est disponible (la variable DISPLAY n'est pas définie).\n";
        return 1;
    }
    files = std::move(read.files);
    return std::nullopt;
}

}  // namespace quorvin::app

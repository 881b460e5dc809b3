#pragma once
// What Quorvin accepts on its command line, in the words both programs show: the files to open, and the
// options of the system it runs on.
#include <span>
#include <string>
#include <string_view>

namespace quorvin::command_line {

struct OptionHelp {
    std::u16string_view names;        // as typed: "-h, --help", "/?"
    std::u16string_view description;  // what it does, lower case, no full stop
};

// "Quorvin 1.1.0"
std::u16string versionText();

// The usage in French, lines ended by LF: how to start `program`, then each option with its description
// in one column.
std::u16string usage(std::u16string_view program, std::span<const OptionHelp> options);

}  // namespace quorvin::command_line

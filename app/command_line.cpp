#include "app/command_line.h"

#include <algorithm>

#include "search_module/number_text.h"

namespace quorvin::command_line {

namespace {

constexpr OptionHelp kFile{u"FICHIER",
                           u"le fichier où chercher, choisi dès l'ouverture (le premier s'il y en a plusieurs)"};

}  // namespace

std::u16string versionText()
{
    return u"Quorvin " + integerToText(QUORVIN_VERSION_MAJOR) + u'.' + integerToText(QUORVIN_VERSION_MINOR) + u'.' +
           integerToText(QUORVIN_VERSION_PATCH);
}

std::u16string usage(std::u16string_view program, std::span<const OptionHelp> options)
{
    std::u16string text = u"Utilisation : " + std::u16string(program) + u" [OPTION] [" + std::u16string(kFile.names) +
                          u"]\nCherche si un texte se trouve dans un fichier, sans tenir compte des majuscules.\n\n";
    std::size_t width = kFile.names.size();
    for (const OptionHelp& option : options) {
        width = std::max(width, option.names.size());
    }
    const auto line = [&](const OptionHelp& item) {
        text += u"  " + std::u16string(item.names) + std::u16string(width - item.names.size() + 2, u' ') +
                std::u16string(item.description) + u'\n';
    };
    line(kFile);
    for (const OptionHelp& option : options) {
        line(option);
    }
    return text;
}

}  // namespace quorvin::command_line

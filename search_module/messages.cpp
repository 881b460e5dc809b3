#include "search_module/messages.h"

#include "search_module/number_text.h"

namespace quorvin::messages {

std::u16string found(std::int64_t length, const std::u16string& text, const std::u16string& path)
{
    return integerToText(length) + u" Octets ont été scannés." + CRLF + u"Resultats de la recherche :" + CRLF +
           u"La chaîne recherchée : < " + text + u" > a été trouvée dans le fichier : " + CR + path;
}

std::u16string notFound(const std::u16string& text, const std::u16string& path)
{
    return u"La chaîne recherchée : < " + text + u" > n'a pas été trouvée dans le fichier : " + CR + path;
}

std::u16string cancelled(const std::u16string& text, const std::u16string& path)
{
    return u"La recherche de la chaîne : < " + text + u" > a été annulée avant la fin du fichier : " + CR + path;
}

namespace {

const char16_t* cause(platform::FileFault fault)
{
    using platform::FileFault;
    switch (fault) {
    case FileFault::NotFound: return u"Le fichier n'existe plus ou a été déplacé.";
    case FileFault::AccessDenied: return u"L'accès au fichier est refusé (droits insuffisants ou fichier verrouillé).";
    case FileFault::IsDirectory: return u"Ce chemin désigne un dossier, pas un fichier.";
    case FileFault::NotRegularFile: return u"Ce n'est pas un fichier ordinaire (tube, périphérique...).";
    case FileFault::LinkLoop: return u"Le chemin passe par un lien symbolique qui boucle sur lui-même.";
    case FileFault::ReadFailed: return u"Une erreur de lecture est survenue pendant la recherche.";
    case FileFault::Other: break;
    }
    return u"Le fichier ne peut pas être ouvert.";
}

}  // namespace

std::u16string fileError(platform::FileFault fault, const std::u16string& path)
{
    return std::u16string(u"Le fichier ne peut pas être lu : ") + CR + path + CRLF + CRLF + cause(fault) + CRLF +
           u"La recherche n'a pas pu aboutir.";
}

}  // namespace quorvin::messages

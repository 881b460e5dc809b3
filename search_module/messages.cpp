#include "search_module/messages.h"

#include "search_module/number_text.h"

namespace quorvin::messages {

namespace {

bool isLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Combining accents stay with the letter before them, so the kept end does not start with a lone accent.
bool isCombiningMark(char16_t c)
{
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) || (c >= 0x1DC0 && c <= 0x1DFF) ||
           (c >= 0x20D0 && c <= 0x20FF) || (c >= 0xFE20 && c <= 0xFE2F);
}

}  // namespace

std::u16string shortenedForMessage(const std::u16string& text)
{
    if (text.size() <= kLongestWholeText) {
        return text;
    }
    std::size_t headEnd = kShortenedEndLength;
    while (headEnd > 0 && (isLowSurrogate(text[headEnd]) || isCombiningMark(text[headEnd]))) {
        --headEnd;
    }
    std::size_t tailStart = text.size() - kShortenedEndLength;
    while (tailStart < text.size() && (isLowSurrogate(text[tailStart]) || isCombiningMark(text[tailStart]))) {
        ++tailStart;
    }
    return text.substr(0, headEnd) + u" \u2026 " + text.substr(tailStart);
}

std::u16string found(std::int64_t length, const std::u16string& text, const std::u16string& path)
{
    return integerToText(length) + u" Octets ont été scannés." + CRLF + u"Resultats de la recherche :" + CRLF +
           u"La chaîne recherchée : < " + shortenedForMessage(text) + u" > a été trouvée dans le fichier : " + CR +
           path;
}

std::u16string notFound(const std::u16string& text, const std::u16string& path)
{
    return u"La chaîne recherchée : < " + shortenedForMessage(text) + u" > n'a pas été trouvée dans le fichier : " +
           CR + path;
}

std::u16string cancelled(const std::u16string& text, const std::u16string& path)
{
    return u"La recherche de la chaîne : < " + shortenedForMessage(text) +
           u" > a été annulée avant la fin du fichier : " + CR + path;
}

namespace {

const char16_t* cause(platform::FileFault fault)
{
    using platform::FileFault;
    switch (fault) {
    case FileFault::NotFound:
        return u"Le fichier n'existe plus ou a été déplacé.";
    case FileFault::AccessDenied:
        return u"L'accès au fichier est refusé (droits insuffisants ou fichier verrouillé).";
    case FileFault::IsDirectory:
        return u"Ce chemin désigne un dossier, pas un fichier.";
    case FileFault::NotRegularFile:
        return u"Ce n'est pas un fichier ordinaire (tube, périphérique...).";
    case FileFault::LinkLoop:
        return u"Le chemin passe par un lien symbolique qui boucle sur lui-même.";
    case FileFault::ReadFailed:
        return u"Une erreur de lecture est survenue pendant la recherche.";
    case FileFault::Other:
        break;
    }
    return u"Le fichier ne peut pas être ouvert.";
}

}  // namespace

std::u16string fileError(platform::FileFault fault, const std::u16string& path)
{
    // An empty name is no file that moved: whatever the system made of it, none was named.
    const char16_t* why = path.empty() ? u"Aucun fichier n'a été indiqué." : cause(fault);
    return std::u16string(u"Le fichier ne peut pas être lu : ") + CR + path + CRLF + CRLF + why + CRLF +
           u"La recherche n'a pas pu aboutir.";
}

}  // namespace quorvin::messages

namespace quorvin::messages {

namespace {

// Five named parts, their causes and the lines around them fit within kLongestWholeText at this length.
constexpr std::size_t kLongestPartPath = 44;

const char16_t* cause(readers::Fault fault)
{
    using readers::Fault;
    switch (fault) {
    case Fault::Encrypted:
        return u"chiffré";
    case Fault::Method:
        return u"méthode de compression non lue";
    case Fault::Corrupt:
        return u"données endommagées";
    case Fault::Truncated:
        return u"fichier tronqué";
    case Fault::TooDeep:
        return u"imbriqué trop profondément";
    case Fault::TooLarge:
        return u"trop grand pour être lu";
    }
    return u"illisible";
}

// The end of a long path, where its file's name is.
std::u16string pathEnd(const std::u16string& path)
{
    if (path.size() <= kLongestPartPath) {
        return path;
    }
    std::size_t start = path.size() - (kLongestPartPath - 1);
    while (start < path.size() && (isLowSurrogate(path[start]) || isCombiningMark(path[start]))) {
        ++start;
    }
    return u"\u2026" + path.substr(start);
}

}  // namespace

std::u16string partlyUnread(std::uint64_t count, const std::vector<readers::UnreadPart>& named)
{
    std::u16string text = integerToText(static_cast<std::int64_t>(count)) +
                          (count == 1 ? u" élément n'a pas pu être lu à l'intérieur du fichier :"
                                      : u" éléments n'ont pas pu être lus à l'intérieur du fichier :");
    for (const readers::UnreadPart& part : named) {
        text += CRLF + (u"\u2013 " + pathEnd(part.path)) + u" : " + cause(part.fault);
    }
    if (count > named.size()) {
        const std::uint64_t others = count - named.size();
        text += CRLF + (u"et " + integerToText(static_cast<std::int64_t>(others))) +
                (others == 1 ? u" autre." : u" autres.");
    }
    return text + CRLF + u"La chaîne n'y a pas été cherchée.";
}

std::u16string place(const TextPlace& place, const CodePage& codePage)
{
    std::u16string form;
    switch (place.form) {
    case TextForm::CodePage:
        form = codePage.name();
        break;
    case TextForm::Utf8:
        form = u"UTF-8";
        break;
    case TextForm::Utf16Le:
        form = u"UTF-16LE";
        break;
    case TextForm::Utf16Be:
        form = u"UTF-16BE";
        break;
    }
    return u"ligne " + groupedInteger(place.line) + u", colonne " + groupedInteger(place.column) + u" (octet " +
           groupedInteger(place.offset) + u", " + form + u")";
}

std::u16string place(const readers::FoundPlace& place, const CodePage& codePage)
{
    using Where = readers::DocumentPlace::Where;
    std::u16string where;
    if (!place.document) {
        where = messages::place(static_cast<const TextPlace&>(place), codePage);
    } else {
        const readers::DocumentPlace& document = *place.document;
        const auto numbered = [&document](std::u16string_view what) {
            return document.number == 0 ? std::u16string(what)
                                        : std::u16string(what) + u' ' + groupedInteger(document.number);
        };
        switch (document.where) {
        case Where::Paragraph:
            where = numbered(u"paragraphe");
            break;
        case Where::Header:
            where = u"en-tête";
            break;
        case Where::Footer:
            where = u"pied de page";
            break;
        case Where::Note:
            where = numbered(u"note");
            break;
        case Where::Comment:
            where = u"commentaire";
            break;
        case Where::SheetName:
            where = u"nom de feuille";
            break;
        case Where::Cell:
            where = document.name.empty() ? u"cellule" : document.name;
            break;
        case Where::Slide:
            where = numbered(u"diapositive");
            break;
        case Where::SlideNotes:
            where = numbered(u"notes de la diapositive");
            break;
        case Where::Chapter:
            where = document.name;
            break;
        }
    }
    return place.part.empty() ? where : place.part + u", " + where;
}

}  // namespace quorvin::messages

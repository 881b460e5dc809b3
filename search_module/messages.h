#pragma once
// Texts of the search's message boxes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "encoding/code_page.h"
#include "platform/binary_file.h"
#include "readers/content_search.h"
#include "scanner/text_place.h"

namespace quorvin::messages {

inline constexpr char16_t CR[] = u"\r";
inline constexpr char16_t CRLF[] = u"\r\n";

inline constexpr char16_t kFoundCaption[] = u"Chaîne de caractère trouvée !";
inline constexpr char16_t kNotFoundCaption[] = u"Chaîne non trouvée";
inline constexpr char16_t kFileErrorCaption[] = u"Lecture du fichier impossible";
inline constexpr char16_t kCancelledCaption[] = u"Recherche annulée";
inline constexpr char16_t kPartlyUnreadCaption[] = u"Recherche incomplète";

// A search text pasted whole can run to thousands of characters. One longer than this is shown in the
// messages as its start and its end around an ellipsis, so that a box stays within two thirds of a small
// screen (1024 x 768) with its path and its OK button, even in the widest letters; shorter texts are
// shown whole.
inline constexpr std::size_t kLongestWholeText = 500;
inline constexpr std::size_t kShortenedEndLength = 240;  // kept at each end of a longer text

// `text` itself when it is at most kLongestWholeText long, else its first and last kShortenedEndLength
// characters joined by " … "; a character written as a surrogate pair is never cut in two.
std::u16string shortenedForMessage(const std::u16string& text);

std::u16string found(std::int64_t length, const std::u16string& text, const std::u16string& path);
std::u16string notFound(const std::u16string& text, const std::u16string& path);
std::u16string cancelled(const std::u16string& text, const std::u16string& path);
// Names the file and why it could not be read; an empty `path` names none, whatever `fault` says.
std::u16string fileError(platform::FileFault fault, const std::u16string& path);

// Follows the not-found message when `count` parts of the file could not be searched inside: how many,
// and those of `named` (the first of them) with why, each path cut to its end so that the message stays
// within kLongestWholeText characters.
std::u16string partlyUnread(std::uint64_t count, const std::vector<readers::UnreadPart>& named);

// Where a found text first occurs in a file: « ligne 3, colonne 12 (octet 1 024, UTF-8) »; the code
// page's form is named as `codePage` is.
std::u16string place(const TextPlace& place, const CodePage& codePage);
// Where a found text first occurs, inside the file too: the archive's member first
// (« var/log/app.log, ligne 481, colonne 22 (octet 10 240, UTF-8) »), and in a document where its reader
// sees it (« paragraphe 3 », « Dépenses!B2 », « notes de la diapositive 2 »...).
std::u16string place(const readers::FoundPlace& place, const CodePage& codePage);

}  // namespace quorvin::messages

#pragma once
// Texts of the search's message boxes.
#include <cstdint>
#include <string>

#include "platform/binary_file.h"

namespace quorvin::messages {

inline constexpr char16_t CR[] = u"\r";
inline constexpr char16_t CRLF[] = u"\r\n";

inline constexpr char16_t kFoundCaption[] = u"Chaîne de caractère trouvée !";
inline constexpr char16_t kNotFoundCaption[] = u"Chaîne non trouvée";
inline constexpr char16_t kFileErrorCaption[] = u"Lecture du fichier impossible";
inline constexpr char16_t kCancelledCaption[] = u"Recherche annulée";

std::u16string found(std::int64_t length, const std::u16string& text, const std::u16string& path);
std::u16string notFound(const std::u16string& text, const std::u16string& path);
std::u16string cancelled(const std::u16string& text, const std::u16string& path);
std::u16string fileError(platform::FileFault fault, const std::u16string& path);

}  // namespace quorvin::messages

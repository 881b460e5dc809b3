#pragma once
// Who made Quorvin, as the About window tells it. The addresses use a reserved example domain.
namespace quorvin::maker {

inline constexpr char16_t kWebAddress[] = u"https://ravendo.example";
inline constexpr char16_t kMailAddress[] = u"contact@ravendo.example";
inline constexpr char16_t kAuthorLine[] = u"Auteur : l'équipe Ravendo";
inline constexpr char16_t kAuthorNotice[] = u"Conçu et programmé par l'équipe Ravendo";

}  // namespace quorvin::maker

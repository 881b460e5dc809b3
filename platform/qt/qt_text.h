#pragma once
// Text crossing between the core (std::u16string) and Qt (QString), and paths between both and the disk.
#include <QString>
#include <string>
#include <string_view>

namespace quorvin::platform::qt {

inline QString toQString(std::u16string_view text)
{
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

inline std::u16string toU16(const QString& text)
{
    return text.toStdU16String();
}

// A path as the core holds it, for Qt: same bytes on disk, whether or not they are UTF-8.
QString toQtPath(std::u16string_view path);
std::u16string fromQtPath(const QString& path);

// CR LF and a lone CR both break a line; Qt breaks lines at LF.
QString withLineFeeds(std::u16string_view text);

// Qt wraps text at spaces only and cuts a word wider than its box, where Windows breaks the word. A word
// too long for any line (a pasted text, a deep path) is given a zero-width break opportunity between its
// characters, never inside a surrogate pair or before an accent.
QString breakingLongWords(const QString& text);

}  // namespace quorvin::platform::qt

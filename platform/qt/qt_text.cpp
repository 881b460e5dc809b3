#include "platform/qt/qt_text.h"

#include <QFile>

#include "platform/posix/native_path.h"

namespace quorvin::platform::qt {

QString toQtPath(std::u16string_view path)
{
    return QFile::decodeName(QByteArray::fromStdString(posix::toNativePath(path)));
}

std::u16string fromQtPath(const QString& path)
{
    const QByteArray bytes = QFile::encodeName(path);
    return posix::fromNativePath(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

QString withLineFeeds(std::u16string_view text)
{
    QString lines = toQString(text);
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return lines;
}

QString breakingLongWords(const QString& text)
{
    constexpr qsizetype kLongestUnbrokenWord = 60;
    QString broken;
    broken.reserve(text.size() * 2);
    qsizetype wordStart = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !text[i].isSpace()) {
            continue;
        }
        const QStringView word = QStringView(text).mid(wordStart, i - wordStart);
        if (word.size() <= kLongestUnbrokenWord) {
            broken += word;
        } else {
            for (qsizetype j = 0; j < word.size(); ++j) {
                if (j > 0 && !word[j].isLowSurrogate() && !word[j].isMark()) {
                    broken += QChar(0x200B);
                }
                broken += word[j];
            }
        }
        if (i < text.size()) {
            broken += text[i];
        }
        wordStart = i + 1;
    }
    return broken;
}

}  // namespace quorvin::platform::qt

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

}  // namespace quorvin::platform::qt

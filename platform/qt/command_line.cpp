#include "platform/qt/command_line.h"

#include <QCommandLineParser>
#include <array>
#include <filesystem>

#include "platform/posix/native_path.h"
#include "platform/qt/qt_text.h"

namespace quorvin::platform::qt {

using posix::fromNativePath;
using posix::toNativePath;

namespace {

// What QApplication reads from the command line itself; a value follows the first ones.
constexpr std::array kQtOptionsWithValue{
    "platform",    "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "style",  "stylesheet",
    "display",     "geometry",           "name",          "title",  "visual"};
constexpr std::array kQtFlags{"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};

// Paths are kept as their bytes: a name that is not UTF-8 still names its file.
QString argumentText(const char* argument)
{
    return toQString(fromNativePath(argument));
}

std::u16string absolutePath(const QString& argument)
{
    const std::filesystem::path given(toNativePath(toU16(argument)));
    std::error_code failed;
    const std::filesystem::path absolute = std::filesystem::absolute(given, failed).lexically_normal();
    return fromNativePath(failed ? given.native() : absolute.native());
}

}  // namespace

CommandLine readCommandLine(std::span<char* const> arguments)
{
    QStringList texts;
    for (const char* argument : arguments) {
        texts << argumentText(argument);
    }
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);  // Qt's -platform, -style
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOption(help);
    parser.addOption(version);
    for (const char* name : kQtOptionsWithValue) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name), {}, QStringLiteral("value")));
    }
    for (const char* name : kQtFlags) {
        parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
    }

    CommandLine read;
    read.program = texts.isEmpty() ? u"quorvin" : toU16(texts.constFirst().section(u'/', -1));
    if (!parser.parse(texts)) {
        for (const QString& name : parser.unknownOptionNames()) {
            read.unknownOptions.push_back(toU16(name));
        }
        read.missingValue = read.unknownOptions.empty();  // e.g. a bare "-style"
        return read;
    }
    read.help = parser.isSet(help);
    read.version = parser.isSet(version);
    for (const QString& file : parser.positionalArguments()) {
        read.files.push_back(absolutePath(file));
    }
    return read;
}

}  // namespace quorvin::platform::qt

#include "platform/qt/command_line.h"

#include <QCommandLineParser>
#include <algorithm>
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

// Made absolute by its name alone: a folder on the path may be on a stalled mount, and nothing here may
// wait before the window shows. The file service takes the ".." back once the window is up.
std::u16string absolutePath(const QString& argument)
{
    const std::filesystem::path given(toNativePath(toU16(argument)));
    std::error_code failed;
    const std::filesystem::path absolute = std::filesystem::absolute(given, failed);
    return fromNativePath(failed ? given.native() : absolute.native());
}

// Whether QApplication can start its platform plugin: one named by -platform or QT_QPA_PLATFORM (several
// are tried in turn, each with its options after a colon) that needs no X11 display, or that display; with
// none named, an X11 or Wayland display.
bool platformCanStart(const QString& named, bool displayOption)
{
    const bool x11 = displayOption || !qEnvironmentVariableIsEmpty("DISPLAY");
    if (named.isEmpty()) {
        return x11 || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    }
    const QStringList plugins = named.split(u';', Qt::SkipEmptyParts);
    return std::any_of(plugins.begin(), plugins.end(),
                       [x11](const QString& plugin) { return x11 || plugin.section(u':', 0, 0) != u"xcb"; });
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
        if (!file.isEmpty()) {  // names no file, as on Windows
            read.files.push_back(absolutePath(file));
        }
    }
    const QString platform = QStringLiteral("platform");
    read.displayReachable =
        platformCanStart(parser.isSet(platform) ? parser.value(platform) : qEnvironmentVariable("QT_QPA_PLATFORM"),
                         parser.isSet(QStringLiteral("display")));
    return read;
}

}  // namespace quorvin::platform::qt

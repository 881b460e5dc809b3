#include "platform/qt/command_line.h"

#include <QCommandLineParser>
#include <array>
#include <filesystem>

#include "main_window/command_line.h"
#include "platform/posix/native_path.h"
#include "platform/qt/qt_text.h"

namespace quorvin::platform::qt {

using posix::fromNativePath;
using posix::toNativePath;

namespace {

constexpr std::array<command_line::OptionHelp, 2> kOptions{{
    {u"-h, --help", u"affiche cette aide et s'arrête"},
    {u"--version", u"affiche la version et s'arrête"},
}};

// What QApplication reads from the command line itself; a value follows the first ones.
constexpr std::array kQtOptionsWithValue{
    "platform",    "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "style",  "stylesheet",
    "display",     "geometry",           "name",          "title",  "visual"};
constexpr std::array kQtFlags{"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};

std::string utf8(std::u16string_view text)
{
    return toQString(text).toStdString();
}

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

std::optional<int> readCommandLine(std::span<char* const> arguments, std::vector<std::u16string>& files,
                                   std::ostream& out, std::ostream& err)
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

    const std::string program = texts.isEmpty() ? "quorvin" : texts.constFirst().section(u'/', -1).toStdString();
    const std::string usage = utf8(command_line::usage(toU16(QString::fromStdString(program)), kOptions));
    if (!parser.parse(texts)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (unknown.isEmpty()) {
            err << program << " : il manque une valeur après une option\n";  // e.g. a bare "-style"
        }
        for (const QString& name : unknown) {
            err << program << " : option inconnue « " << (name.size() == 1 ? "-" : "--") << name.toStdString()
                << " »\n";
        }
        err << usage;
        return 2;
    }
    if (parser.isSet(help)) {
        out << usage;
        return 0;
    }
    if (parser.isSet(version)) {
        out << utf8(command_line::versionText()) << '\n';
        return 0;
    }
    for (const QString& file : parser.positionalArguments()) {
        files.push_back(absolutePath(file));
    }
    return std::nullopt;
}

}  // namespace quorvin::platform::qt

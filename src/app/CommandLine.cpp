#include "app/CommandLine.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace talvane {

namespace {
// The options Qt's application objects take out of the command line themselves.
bool IsQtOption(const QString& name) {
    static const QStringList known = {// QGuiApplication
                                      "platform", "platformpluginpath", "platformtheme", "plugin",
                                      "qwindowgeometry", "qwindowicon", "qwindowtitle", "reverse",
                                      "session", "qmljsdebugger", "nograb", "dograb", "testability",
                                      // the X11 platform
                                      "display", "geometry", "name", "title", "visual", "ncols",
                                      "cmap", "sync",
                                      // QApplication
                                      "style", "stylesheet", "widgetcount"};
    return known.contains(name);
}
}  // namespace

void DescribeCommandLine(QCommandLineParser& parser) {
    parser.setApplicationDescription(QCoreApplication::translate(
        "main", "Look after a folder of banners: 12 x 8 pixel BMP pictures."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("folder"),
        QCoreApplication::translate("main",
                                    "The folder to list at start-up, in place of asking for one."),
        QStringLiteral("[folder]"));
    // -platform, -reverse and Qt's other single-dash options are words, not bundles of
    // one-letter options.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
}

void AnswerHelpOrVersion(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    DescribeCommandLine(parser);
    // Qt's own options are not known yet: errors wait for the full parse.
    (void)parser.parse(arguments);
    if (parser.isSet(QStringLiteral("help"))) {
        // Without the application object the parser does not know the program's name.
        QString help = parser.helpText();
        help.replace(QLatin1String("<executable_name>"),
                     arguments.value(0, QStringLiteral("talvane")));
        std::fputs(qPrintable(help), stdout);
        std::exit(EXIT_SUCCESS);
    }
    if (parser.isSet(QStringLiteral("version"))) parser.showVersion();
    // An option that neither this program nor Qt knows is refused here too: without a
    // display the application object could not even be made to refuse it.
    for (const QString& name : parser.unknownOptionNames()) {
        if (IsQtOption(name)) continue;
        std::fputs(qPrintable(QStringLiteral("%1: Unknown option '%2'.\n")
                                  .arg(QFileInfo(arguments.value(0)).fileName(), name)),
                   stderr);
        std::exit(EXIT_FAILURE);
    }
}

std::vector<std::string> ArgumentBytes(int argc, char** argv) {
    std::vector<std::string> result;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            result.push_back(std::move(argument));
        }
    }
    return result;
}

std::string AbsoluteFolder(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path absolute = fs::absolute(fs::path(path), error);
    if (error) return path;
    std::string result;
    for (const fs::path& part : absolute) {
        const std::string& name = part.native();
        if (name == "/" || name.empty() || name == ".") continue;
        result += '/';
        result += name;
    }
    return result.empty() ? "/" : result;
}

}  // namespace talvane

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

#include "app/CommandLine.h"
#include "app/FrmMain.h"
#include "app/platform/EventHandler.h"
#include "app/platform/Form.h"
#include "app/platform/TerminationSignals.h"
#include "catalogue/MainModule.h"

int main(int argc, char* argv[]) {
    QApplication::setApplicationName(QStringLiteral("Talvane"));
    QApplication::setApplicationVersion(QStringLiteral(TALVANE_VERSION));
    talvane::AnswerHelpOrVersion(argc, argv);

    // A failure that no handler can report ends the program with a status, not a signal.
    talvane::EndUnreportedOnTerminate();
    // Takes Qt's own options (-platform, -style...) out of argv.
    QApplication app(argc, argv);
    // Logging out ends the program as closing its main window does.
    talvane::CloseOnTerminationSignals([] {
        if (talvane::IsFrmMainLoaded()) talvane::Unload(talvane::frmMain(), talvane::vbAppWindows);
    });
    QApplication::setDesktopFileName(QStringLiteral("io.github.talvane.Talvane"));
    // The program ends when its last form unloads, not when its last window is hidden.
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    talvane::DescribeCommandLine(parser);
    parser.process(app);
    std::vector<std::string> folders = talvane::ArgumentBytes(argc, argv);
    if (folders.size() > 1) {
        std::fputs(qPrintable(QStringLiteral("%1: one folder at most\n")
                                  .arg(QApplication::applicationName().toLower())),
                   stderr);
        return 1;
    }
    std::string folder = folders.empty() ? std::string() : talvane::AbsoluteFolder(folders.front());

    talvane::RunReportingScanFailure([&] { talvane::Main(folder); });
    if (talvane::LoadedFormCount() == 0) return 0;
    return QApplication::exec();
}

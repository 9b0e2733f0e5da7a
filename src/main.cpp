#include <QApplication>

#include "app/platform/Form.h"
#include "catalogue/MainModule.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvane"));
    QApplication::setDesktopFileName(QStringLiteral("io.github.talvane.Talvane"));
    // The program ends when its last form unloads, not when its last window is hidden.
    QApplication::setQuitOnLastWindowClosed(false);

    talvane::RunReportingScanFailure(talvane::Main);
    if (talvane::LoadedFormCount() == 0) return 0;
    return QApplication::exec();
}

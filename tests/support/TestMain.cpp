#include <gtest/gtest.h>
#include <QApplication>

namespace {

QtMessageHandler gDefaultHandler = nullptr;

// The offscreen platform says so whenever a window is raised or sized by its contents;
// that is expected and only hides what a failing test prints.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && message.startsWith(QLatin1String("This plugin does not support")))
        return;
    if (gDefaultHandler) gDefaultHandler(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
    gDefaultHandler = qInstallMessageHandler(QuietHandler);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Talvane"));
    QApplication::setQuitOnLastWindowClosed(false);
    // A death test's child is this program started anew, never a fork of a process that
    // runs threads.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "app/platform/MsgBox.h"

#include <QApplication>
#include <QWidget>

namespace talvane {

QString AppTitle() { return QStringLiteral("Talvane"); }

int MsgBox(const QString& prompt, int style, const QString& title) {
    QWidget* owner = QApplication::activeWindow();
    return TheDesktop().MessageBox(owner, prompt, style, title.isEmpty() ? AppTitle() : title);
}

}  // namespace talvane

#include <exception>

#include "app/platform/RuntimeError.h"

namespace talvane {

void ReportRuntimeError(const RuntimeError& error) {
    MsgBox(QStringLiteral("Run-time error '%1':\n\n%2").arg(error.Number()).arg(error.Description()),
           vbOKOnly | vbCritical);
}

void RunEventHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const RuntimeError& error) {
        ReportRuntimeError(error);
    } catch (const std::bad_alloc&) {
        ReportRuntimeError(RuntimeError(errOutOfMemory, QStringLiteral("Out of memory")));
    } catch (const std::exception& error) {
        ReportRuntimeError(RuntimeError(errPathFileAccess, QString::fromLocal8Bit(error.what())));
    }
}

}  // namespace talvane

#include "app/platform/MsgBox.h"

#include <QApplication>
#include <QWidget>

#include "app/platform/Form.h"

// The icons live in this library, whose resources are registered by hand.
static void RegisterIconResources() { Q_INIT_RESOURCE(icons); }

namespace talvane {

QString AppTitle() { return QStringLiteral("Talvane"); }

QIcon AppIcon() {
    RegisterIconResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/talvane-16.xpm"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/icons/talvane-32.xpm"), QSize(32, 32));
    return icon;
}

int MsgBox(const QString& prompt, int style, const QString& title) {
    // A box without an owner may come up anywhere on the screen, not over the program.
    QWidget* owner = QApplication::activeWindow();
    if (!owner || !owner->isVisible()) owner = ProgramWindow();
    return TheDesktop().MessageBox(owner, prompt, style, title.isEmpty() ? AppTitle() : title);
}

}  // namespace talvane

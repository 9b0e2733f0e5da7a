#include "app/platform/Accessibility.h"

#include <QAccessibleWidget>

#include "app/platform/Form.h"
#include "app/platform/PictureControls.h"
#include "app/platform/StatusBar.h"

namespace talvane {

namespace {

// Qt asks once for each class of an object's ancestry, most derived first.
QAccessibleInterface* RoleFactory(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType()) return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (className == QLatin1String(Form::staticMetaObject.className()))
        return new QAccessibleWidget(widget, QAccessible::Window);
    if (className == QLatin1String(StatusBar::staticMetaObject.className()))
        return new QAccessibleWidget(widget, QAccessible::StatusBar);
    if (className == QLatin1String(ImageControl::staticMetaObject.className()))
        return new QAccessibleWidget(widget, QAccessible::Graphic);
    return nullptr;
}

}  // namespace

void InstallAccessibleRoles() {
    static const bool installed = [] {
        QAccessible::installFactory(RoleFactory);
        return true;
    }();
    (void)installed;
}

}  // namespace talvane

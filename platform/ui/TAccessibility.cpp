#include "platform/ui/TAccessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDialog>
#include <QWidget>

namespace {

// A top-level plain widget is a window of its own: a frame to AT-SPI, named by its title
// (QAccessibleWidget names windows by their title already).
QAccessibleInterface* WindowFactory(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    // Asked once per class along the object's hierarchy; answer only for the program's own
    // window classes, so Qt's windows (message boxes, file dialogs) keep their interfaces.
    if (className != QLatin1String(object->metaObject()->className()) ||
        className.startsWith(QLatin1Char('Q')))
        return nullptr;
    if (!widget->isWindow() || qobject_cast<QDialog*>(widget) || widget->windowType() != Qt::Window)
        return nullptr;
    return new QAccessibleWidget(widget, QAccessible::Window);
}

} // namespace

void TAccessibility::InstallWindowRoles()
{
    static const bool installed = [] {
        QAccessible::installFactory(WindowFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

#include "widgets/TWindowDragger.h"

#include "platform/logging/Logging.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

TWindowDragger::TWindowDragger(QWidget* window) : QObject(window), window_(window) {}

void TWindowDragger::Watch(QWidget* handle)
{
    handle->installEventFilter(this);
}

bool TWindowDragger::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (auto* grabber = QWidget::mouseGrabber())
            grabber->releaseMouse();
        QWindow* handle = window_->windowHandle();
        if (handle && handle->startSystemMove()) {
            qCDebug(lcUi) << "window move handed to the window system";
            return true;
        }
        // Where the window system offers no move (offscreen), the window follows the mouse
        // itself; under Wayland that would not move it at all.
        qCDebug(lcUi) << "window follows the mouse itself";
        dragging_ = true;
        grabOffset_ = mouse->globalPosition().toPoint() - window_->frameGeometry().topLeft();
        return true;
    }
    case QEvent::MouseMove:
        if (dragging_) {
            window_->move(static_cast<QMouseEvent*>(event)->globalPosition().toPoint() -
                          grabOffset_);
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (dragging_) {
            dragging_ = false;
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

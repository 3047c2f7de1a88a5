#pragma once

#include <QObject>
#include <QPoint>

class QWidget;

// Lets a borderless window be dragged by any of the widgets it watches, with any mouse
// button. The window manager moves the window where it can; elsewhere the window follows the
// mouse itself.
class TWindowDragger : public QObject
{
    Q_OBJECT
public:
    explicit TWindowDragger(QWidget* window);

    void Watch(QWidget* handle);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    bool dragging_ = false;
    QPoint grabOffset_;
};

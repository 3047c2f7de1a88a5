#pragma once

#include <QToolButton>

// A small picture button of the title rows that is a toggle to a screen reader ("pressed",
// "not pressed") but looks like a plain one: its checked state draws nothing of its own.
class TToggleToolButton : public QToolButton
{
    Q_OBJECT
public:
    explicit TToggleToolButton(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

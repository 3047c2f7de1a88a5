#pragma once

#include <QColor>
#include <QWidget>

// The panel that fills the program's borderless windows: a rounded rectangle with a white
// border. When it fills its window it also clips the window to its rounded shape.
class TRoundedPanel : public QWidget
{
    Q_OBJECT
public:
    static constexpr int Corner = 25;
    static constexpr int BorderWidth = 5;

    explicit TRoundedPanel(QWidget* parent = nullptr);

    static QColor DefaultColour() { return QColor(0, 111, 164); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

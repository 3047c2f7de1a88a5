#pragma once

#include <QColor>
#include <QWidget>

// A rounded panel of its own colours with a heading centred at its top, drawn with a shadow.
// Unlike TRoundedPanel it leaves the window's shape alone.
class THeadingPanel : public QWidget
{
    Q_OBJECT
public:
    THeadingPanel(const QString& heading, QWidget* parent = nullptr);

    QString Heading() const { return heading_; }

    QColor Colour = Qt::white;
    QColor BorderColour = QColor(192, 192, 192); // silver
    int BorderWidth = 7;
    int Corner = 25;
    QColor HeadingColour = QColor(0, 111, 164);
    QColor ShadowColour = Qt::white;
    int HeadingTop = 8;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString heading_;
};

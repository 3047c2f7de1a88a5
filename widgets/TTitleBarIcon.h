#pragma once

#include <QIcon>
#include <QIconEngine>

// The window's own title-bar symbols (minimise, restore, close) as icons that are drawn at
// whatever size and pixel ratio they are shown at. The style's title-bar icons are single
// 11 x 13 bitmaps that a 2x screen can only enlarge, blurred; these keep their look on a 16 x 16
// grid (a rounded 11 x 11 frame with the symbol inside) and stay sharp.
class TTitleBarIcon : public QIconEngine
{
public:
    enum class TKind
    {
        Minimize,
        Restore,
        Close,
    };

    explicit TTitleBarIcon(TKind kind) : kind_(kind) {}

    static QIcon Icon(TKind kind);

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override;
    QString key() const override;

private:
    TKind kind_;
};

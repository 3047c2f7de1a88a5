#include "tests/support/ImageCompare.h"
#include "widgets/TTitleBarIcon.h"

#include <QPainter>
#include <QPixmap>
#include <gtest/gtest.h>

namespace {

using TKind = TTitleBarIcon::TKind;

QImage Picture(TKind kind, qreal ratio, QIcon::Mode mode = QIcon::Normal)
{
    return TTitleBarIcon::Icon(kind)
        .pixmap(QSize(16, 16), ratio, mode)
        .toImage()
        .convertToFormat(QImage::Format_ARGB32);
}

int Alpha(const QImage& image, int x, int y)
{
    return qAlpha(image.pixel(x, y));
}

// The icon as it shows on the sidebar's blue, at 16 x 16.
QImage OnSidebar(const QImage& icon)
{
    QImage shown(16, 16, QImage::Format_RGB32);
    shown.fill(QColor(0x00, 0x6F, 0xA4));
    QPainter p(&shown);
    p.drawImage(QRect(0, 0, 16, 16),
                icon.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    return shown;
}

} // namespace

TEST(TitleBarIcon, HasTheDevicePixelsOfTheRatioItIsAskedFor)
{
    for (const TKind kind : {TKind::Minimize, TKind::Restore, TKind::Close}) {
        const QPixmap one = TTitleBarIcon::Icon(kind).pixmap(QSize(16, 16), 1.0);
        EXPECT_EQ(one.size(), QSize(16, 16));
        EXPECT_EQ(one.devicePixelRatio(), 1.0);
        const QPixmap two = TTitleBarIcon::Icon(kind).pixmap(QSize(16, 16), 2.0);
        EXPECT_EQ(two.size(), QSize(32, 32));
        EXPECT_EQ(two.devicePixelRatio(), 2.0);
        // Brought down to 16 x 16 the 2x picture is the 1x one, but for smoothed diagonals.
        EXPECT_LE(CountDifferentPixels(OnSidebar(Picture(kind, 2)), OnSidebar(Picture(kind, 1))), 6)
            << int(kind);
    }
}

TEST(TitleBarIcon, FrameStandsWhereTheStylesBitmapDid)
{
    // The style's 11 x 13 bitmap, centred in a 16 x 16 icon, has its frame on columns and
    // rows 3 to 13.
    for (const TKind kind : {TKind::Minimize, TKind::Restore, TKind::Close}) {
        const QImage icon = Picture(kind, 1);
        for (const QPoint edge : {QPoint(3, 8), QPoint(13, 8), QPoint(8, 3), QPoint(8, 13)})
            EXPECT_GT(Alpha(icon, edge.x(), edge.y()), 150) << int(kind) << edge.x() << edge.y();
        for (const QPoint out : {QPoint(2, 8), QPoint(14, 8), QPoint(8, 2), QPoint(8, 14),
                                 QPoint(0, 0), QPoint(15, 15)})
            EXPECT_EQ(Alpha(icon, out.x(), out.y()), 0) << int(kind) << out.x() << out.y();
    }
}

TEST(TitleBarIcon, EachKindDrawsItsSymbol)
{
    const QImage minimize = Picture(TKind::Minimize, 1);
    EXPECT_GT(Alpha(minimize, 8, 8), 150); // the bar
    EXPECT_GT(Alpha(minimize, 8, 9), 150);
    EXPECT_EQ(Alpha(minimize, 8, 6), 0);
    EXPECT_EQ(Alpha(minimize, 8, 11), 0);

    const QImage restore = Picture(TKind::Restore, 1);
    EXPECT_GT(Alpha(restore, 9, 5), 150);  // the window behind, its top
    EXPECT_GT(Alpha(restore, 5, 10), 150); // the one in front, its left side
    EXPECT_EQ(Alpha(restore, 7, 9), 0);    // inside the one in front
    EXPECT_EQ(Alpha(restore, 8, 8), 0);    // the one behind does not show through

    const QImage close = Picture(TKind::Close, 1);
    EXPECT_GT(Alpha(close, 8, 8), 150); // where the strokes cross
    EXPECT_GT(Alpha(close, 6, 6), 150);
    EXPECT_GT(Alpha(close, 10, 6), 150);
    EXPECT_EQ(Alpha(close, 8, 5), 0);

    EXPECT_NE(minimize, restore);
    EXPECT_NE(restore, close);
}

TEST(TitleBarIcon, DisabledIsFainterAndAWiderRectKeepsItSquareAndCentred)
{
    const QImage normal = Picture(TKind::Close, 1);
    const QImage disabled = Picture(TKind::Close, 1, QIcon::Disabled);
    EXPECT_LT(Alpha(disabled, 3, 8), Alpha(normal, 3, 8));
    EXPECT_GT(Alpha(disabled, 3, 8), 0);

    QImage wide(32, 16, QImage::Format_ARGB32);
    wide.fill(Qt::transparent);
    {
        QPainter p(&wide);
        TTitleBarIcon::Icon(TKind::Close).paint(&p, QRect(0, 0, 32, 16));
    }
    EXPECT_EQ(wide.copy(8, 0, 16, 16), normal);
    EXPECT_EQ(Alpha(wide, 3, 8), 0);
}

#include "widgets/TStatsOverlay.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>

TStatsOverlay::TStatsOverlay(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSize(9);
    setFont(mono);
    move(Margin, Margin);
    hide();
}

void TStatsOverlay::SetLines(const QStringList& lines)
{
    if (lines == lines_)
        return;
    lines_ = lines;
    resize(sizeHint());
    update();
}

QSize TStatsOverlay::sizeHint() const
{
    const QFontMetrics metrics(font());
    int width = 0;
    for (const QString& line : lines_)
        width = std::max(width, metrics.horizontalAdvance(line));
    return {width + 2 * Padding, int(lines_.size()) * metrics.lineSpacing() + 2 * Padding};
}

void TStatsOverlay::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 160));
    p.drawRoundedRect(rect(), 6, 6);
    p.setPen(Qt::white);
    const QFontMetrics metrics(font());
    int y = Padding + metrics.ascent();
    for (const QString& line : lines_) {
        p.drawText(Padding, y, line);
        y += metrics.lineSpacing();
    }
}

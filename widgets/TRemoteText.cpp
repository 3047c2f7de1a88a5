#include "widgets/TRemoteText.h"

#include <QFontMetrics>
#include <QLabel>

void TRemoteText::Show(QLabel& label, const QString& text, const QString& suffix)
{
    label.setTextFormat(Qt::PlainText);
    const QFontMetrics metrics(label.font());
    const int room =
        qMax(0, label.width() - label.margin() * 2 - metrics.horizontalAdvance(suffix));
    label.setText(metrics.elidedText(Clean(text), Qt::ElideRight, room) + suffix);
}

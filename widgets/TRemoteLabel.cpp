#include "widgets/TRemoteLabel.h"

#include "platform/text/TRemoteText.h"

#include <QFontMetrics>
#include <QLabel>

void TRemoteLabel::Show(QLabel& label, const QString& text, const QString& suffix)
{
    label.setTextFormat(Qt::PlainText);
    const QFontMetrics metrics(label.font());
    const int room =
        qMax(0, label.width() - label.margin() * 2 - metrics.horizontalAdvance(suffix));
    label.setText(metrics.elidedText(TRemoteText::Clean(text), Qt::ElideRight, room) + suffix);
}

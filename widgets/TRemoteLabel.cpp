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
    const QString whole = TRemoteText::Clean(text);
    const QString shown = metrics.elidedText(whole, Qt::ElideRight, room) + suffix;
    // Cut short, the whole line stays readable in the tooltip and is what a screen reader
    // says; set first, so the name the new text announces is already the whole one.
    const QString said = shown == whole + suffix ? QString() : whole + suffix;
    label.setToolTip(said);
    if (label.accessibleName() != said)
        label.setAccessibleName(said);
    label.setText(shown);
}

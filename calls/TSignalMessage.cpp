#include "calls/TSignalMessage.h"

const QString TSignalMessage::Calling = QStringLiteral("Calling");
const QString TSignalMessage::CallingPrefix = QStringLiteral("Calling|");
const QString TSignalMessage::Accept = QStringLiteral("Accept");
const QString TSignalMessage::Cancel = QStringLiteral("Cancel");

TSignalMessage TSignalMessage::Classify(const QByteArray& datagram)
{
    TSignalMessage message;
    message.text = QString::fromUtf8(datagram);
    QString text = message.text;
    if (text.contains(QLatin1Char('|'))) {
        // Whatever stands before the bar, the first eight characters are taken as the prefix.
        message.callerID = text.mid(CallingPrefix.size());
        text = Calling;
    }
    if (text == Calling)
        message.kind = TKind::CallRequest;
    else if (text == Accept)
        message.kind = TKind::Accept;
    else if (text == Cancel)
        message.kind = TKind::Cancel;
    return message;
}

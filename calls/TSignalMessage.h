#pragma once

#include <QByteArray>
#include <QString>

// One call-signalling datagram as the receiver understands it.
struct TSignalMessage
{
    enum class TKind
    {
        CallRequest, // any text with "|", or "Calling"
        Accept,      // "Accept"
        Cancel,      // "Cancel"
        StatusText,  // anything else: a busy or unanswered message for the caller
    };

    TKind kind = TKind::StatusText;
    QString callerID; // of a call request: what follows the first eight characters
    QString text;     // the whole text as received

    static const QString Calling;
    static const QString CallingPrefix;
    static const QString Accept;
    static const QString Cancel;

    static TSignalMessage Classify(const QByteArray& datagram);
};

#include "transfer/TStrmSender.h"

#include "platform/errors/ESockError.h"
#include "platform/logging/Logging.h"
#include "transfer/TStrmFraming.h"

#include <QIODevice>

TStrmSender::TStrmSender(QObject* owner) : TSockBase(owner)
{
    Port = 6711;
}

TStrmSender::~TStrmSender()
{
    try {
        TStrmSender::Abort();
    } catch (const std::exception& e) {
        qCDebug(lcTransfer) << "sender closing at the end:" << e.what();
    }
}

void TStrmSender::Abort()
{
    Report(QStringLiteral("Abort"), 8);
    if (Connected) {
        Cancel();
        Disconnect();
    }
}

void TStrmSender::SendStreamMessage(QIODevice& stream, QByteArray& reply)
{
    // What the wire format cannot carry is refused before anything goes out.
    if (stream.size() > TStrmFraming::MaxBody)
        throw ESockError(QStringLiteral("Files of 2 GB or more cannot be sent."));
    if (FromName.size() > TStrmFraming::MaxName)
        throw ESockError(QStringLiteral("The name is longer than 9999 bytes and cannot be sent."));
    Connect();
    const qint64 silence = SilenceLimitMs;
    SilenceLimitMs = SilenceMs;
    try {
        Write(TStrmFraming::NameHeader(FromName));
        Write(TStrmFraming::BodyLength(stream.size()));
        SendStream(stream);
        if (OnMessageSent)
            OnMessageSent(this);
        reply = Read(16);
        // A receiver that closed without answering has not taken the message.
        if (reply != TStrmFraming::Acknowledgement())
            throw ESockError(QStringLiteral("The receiver closed the connection without "
                                            "acknowledging the message."));
    } catch (...) {
        SilenceLimitMs = silence;
        Disconnect();
        throw;
    }
    SilenceLimitMs = silence;
    Disconnect();
    qCDebug(lcTransfer) << "sent" << FromName << "," << stream.size() << "bytes, to" << Host;
}

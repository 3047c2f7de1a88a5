#pragma once

#include "transfer/TSockBase.h"

// Sends one stream message per connection: connects, writes the name header, the length field
// and the body, and reads the receiver's 16-byte acknowledgement. Runs on the UI thread; the
// window stays alive while it waits.
class TStrmSender : public TSockBase
{
    Q_OBJECT
public:
    // How long the receiver may stay silent, the acknowledgement after the last body byte
    // included, before the send fails.
    qint64 SilenceMs = 30000;

    explicit TStrmSender(QObject* owner = nullptr);
    ~TStrmSender() override;

    QByteArray FromName;
    TNotify OnMessageSent;

    // Cancels a running exchange and closes the connection.
    void Abort() override;

    // Sends the stream from its start under FromName and hands back the reply. Throws
    // ESockError when the body cannot be framed (2 GiB or more, a name over 9,999 bytes), when
    // the connection or a transfer fails, and when the reply is not the acknowledgement.
    void SendStreamMessage(QIODevice& stream, QByteArray& reply);
};

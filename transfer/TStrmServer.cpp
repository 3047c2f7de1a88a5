#include "transfer/TStrmServer.h"

#include "platform/logging/Logging.h"
#include "transfer/TSpooledStream.h"
#include "transfer/TStrmFraming.h"

#include <atomic>
#include <exception>

TStrmServer::TStrmServer(QObject* owner) : TGeneralServer(owner)
{
    Port = 6711;
}

TStrmServer::~TStrmServer()
{
    // Before OnMSG and SpoolFolder go: a worker may still read them.
    StopClients();
}

std::unique_ptr<TGeneralServer> TStrmServer::NewClient()
{
    auto client = std::make_unique<TStrmServer>(this);
    client->SpoolFolder = SpoolFolder;
    return client;
}

void TStrmServer::Serve()
{
    bool answered = false;
    bool framed = false;
    QByteArray name;
    auto* listening = qobject_cast<TStrmServer*>(ListeningServer);
    auto failed = [&](const QString& error) {
        qCDebug(lcTransfer) << "receiving from" << RemoteIP() << ":" << error;
        if (framed && listening && listening->OnFailed && !Stopping)
            listening->OnFailed(this, name, error);
    };
    try {
        TSpooledStream body(SpoolFolder);
        if (Receive(name, body, framed)) {
            answered = true;
            body.seek(0);
            framed = false; // delivered: what the handler does is its own affair
            if (listening && listening->OnMSG && !Stopping)
                listening->OnMSG(this, name, body);
        }
    } catch (const std::exception& e) {
        failed(QString::fromUtf8(e.what()));
    } catch (...) {
        failed(QStringLiteral("an unknown failure"));
    }
    // The body is gone; an answered peer closes once it has read the acknowledgement, and
    // closing before that could reset the connection under it. Any other connection (a bad
    // field, a failed body) is closed at once.
    if (answered)
        AwaitPeerClose();
}

bool TStrmServer::Receive(QByteArray& name, TSpooledStream& body, bool& framed)
{
    const std::optional<qint32> nameLength = ReadLength(TStrmFraming::NameLengthSize);
    if (!nameLength)
        return false;
    if (*nameLength > 0) {
        name = Read(*nameLength);
        if (name.size() < *nameLength)
            return false; // the peer closed inside the name
    }
    const std::optional<qint32> bodyLength = ReadLength(TStrmFraming::BodyLengthSize);
    if (!bodyLength)
        return false;
    ReceivedCount = 0;
    TotalCount = *bodyLength;
    framed = true;
    // The peer is answered whether or not its body arrived; a failed answer is the failure
    // that counts.
    std::exception_ptr failure;
    try {
        if (*bodyLength > 0)
            CaptureStream(body, *bodyLength);
    } catch (...) {
        failure = std::current_exception();
    }
    // Numbered before the answer, so a sender's next message is always numbered later.
    static std::atomic<quint64> arrivals{0};
    Arrival = ++arrivals;
    try {
        Write(TStrmFraming::Acknowledgement());
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure)
        std::rethrow_exception(failure);
    return true;
}

std::optional<qint32> TStrmServer::ReadLength(int size)
{
    // A field the peer closed inside is no number, even when its first digits would be one.
    const QByteArray field = Read(size);
    if (field.size() < size)
        return std::nullopt;
    return TStrmFraming::ParseLength(field);
}

void TStrmServer::AwaitPeerClose()
{
    try {
        // Read ends short only when the peer has closed; a reset, the silence limit or a
        // cancel end the wait with an error.
        while (!Stopping && Read(TStrmFraming::BlockSize).size() == TStrmFraming::BlockSize) {
        }
    } catch (const std::exception& e) {
        qCDebug(lcTransfer) << "waiting for" << RemoteIP() << "to close:" << e.what();
    }
}

QString TStrmServer::LogName(const QByteArray& name)
{
    constexpr int MaxLogName = 256;
    QString text = QString::fromUtf8(name);
    for (QChar& c : text) {
        const QChar::Category kind = c.category();
        if (kind == QChar::Other_Control || kind == QChar::Other_Format ||
            kind == QChar::Separator_Line || kind == QChar::Separator_Paragraph)
            c = QChar(u'?');
    }
    if (text.size() <= MaxLogName)
        return text;
    qsizetype keep = MaxLogName - 1;
    if (text.at(keep - 1).isHighSurrogate())
        --keep; // never half a character
    return text.left(keep) + QChar(0x2026);
}

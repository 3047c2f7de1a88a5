#include "transfer/TStrmServer.h"

#include "platform/errors/ESockError.h"
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
    client->SpoolFolder = SpoolFolderNow ? SpoolFolderNow() : SpoolFolder;
    client->HeaderTimeMs = HeaderTimeMs;
    client->MinRateBytes = MinRateBytes;
    client->RateWindowMs = RateWindowMs;
    client->CloseWaitMs = CloseWaitMs;
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
        const std::optional<qint64> length = ReceiveHeader(name);
        if (!length)
            return;
        framed = true;
        TotalCount = *length;
        ReceivedCount = 0;
        const TAdmission admission =
            listening && listening->OnAdmit ? listening->OnAdmit(this, *length) : TAdmission();
        if (!admission.admitted) {
            framed = false; // the admission said why
            return;
        }
        TSpooledStream body(SpoolFolder);
        ReceiveBody(body, *length, admission);
        if (!BodyComplete()) {
            failed(QStringLiteral("%1 of %2 bytes arrived")
                       .arg(qint64(ReceivedCount))
                       .arg(qint64(TotalCount)));
            return;
        }
        // Files from one address are taken at a pace, empty ones as well; a file over it
        // waits for its turn.
        if (listening)
            Pause(listening->TakeFileTurn(RemoteAddress));
        // Numbered as the body is taken, so a sender's next message is always numbered later.
        static std::atomic<quint64> arrivals{0};
        Arrival = ++arrivals;
        body.seek(0);
        framed = false; // delivered: what the handler does is its own affair
        const bool stored =
            listening && listening->OnMSG && !Stopping && listening->OnMSG(this, name, body);
        if (!stored)
            return;
        // Stored is stored: the peer learns it even when the server is going meanwhile.
        Canceled = false;
        Write(TStrmFraming::Acknowledgement());
        answered = true;
    } catch (const std::exception& e) {
        failed(QString::fromUtf8(e.what()));
    } catch (...) {
        failed(QStringLiteral("an unknown failure"));
    }
    // An answered peer closes once it has read the acknowledgement, and closing before that
    // could reset the connection under it. Any other connection is closed at once.
    if (answered)
        AwaitPeerClose();
}

void TStrmServer::ReceiveBody(TSpooledStream& body, qint64 length, const TAdmission& admission)
{
    struct TRestore
    {
        TStrmServer& server;
        ~TRestore()
        {
            server.MinWindowBytes = 0;
            server.OnPacketRecvd = nullptr;
        }
    } restore{*this};
    if (admission.grow)
        OnPacketRecvd = [&admission](TSockBase* s) {
            if (!admission.grow(s->ReceivedCount))
                throw ESockError(QStringLiteral("not enough free space"));
        };
    MinWindowBytes = MinRateBytes;
    if (length > 0)
        CaptureStream(body, length);
}

qint64 TStrmServer::TakeFileTurn(const QHostAddress& from)
{
    std::lock_guard lock(paceLock_);
    return pace_.Take(from, TFilePace::TClock::now(), FilePace).count();
}

std::optional<qint64> TStrmServer::ReceiveHeader(QByteArray& name)
{
    // Trickling bytes do not stretch this: a peer that holds a slot must say what it sends.
    LimitTime(HeaderTimeMs);
    struct TUnlimit
    {
        TSockBase& socket;
        ~TUnlimit() { socket.UnlimitTime(); }
    } unlimit{*this};
    const std::optional<qint32> nameLength = ReadLength(TStrmFraming::NameLengthSize);
    if (!nameLength)
        return std::nullopt;
    if (*nameLength > 0) {
        name = Read(*nameLength);
        if (name.size() < *nameLength)
            return std::nullopt; // the peer closed inside the name
    }
    const std::optional<qint32> bodyLength = ReadLength(TStrmFraming::BodyLengthSize);
    if (!bodyLength)
        return std::nullopt;
    return *bodyLength;
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
    // The slot and the address's share of them are held until then, so the time is absolute.
    LimitTime(CloseWaitMs);
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

#include "transfer/TStrmServer.h"

#include "platform/logging/Logging.h"
#include "transfer/TStrmListener.h"

TStrmServer::TStrmServer(QObject* parent)
    : QObject(parent), shared_(std::make_shared<TStrmShared>())
{
    network_.setObjectName(QStringLiteral("parlavue-transfer"));
}

TStrmServer::~TStrmServer()
{
    if (!listener_)
        return;
    // It goes on its own thread as that thread ends, after whatever it was doing.
    std::exchange(listener_, nullptr)->deleteLater();
    network_.quit();
    network_.wait();
}

TStrmLimits TStrmServer::Limits() const
{
    std::lock_guard lock(shared_->lock);
    return shared_->limits;
}

void TStrmServer::SetLimits(const TStrmLimits& limits)
{
    std::lock_guard lock(shared_->lock);
    shared_->limits = limits;
}

void TStrmServer::SetFilePace(const TFilePace::TRule& rule)
{
    std::lock_guard lock(shared_->lock);
    shared_->pace = rule;
}

void TStrmServer::SetHandlers(const TStrmHandlers& handlers)
{
    std::lock_guard lock(shared_->lock);
    // Set apart, with SetSecure.
    auto tls = handlers.tls ? handlers.tls : shared_->handlers.tls;
    auto call = handlers.call ? handlers.call : shared_->handlers.call;
    shared_->handlers = handlers;
    shared_->handlers.tls = std::move(tls);
    shared_->handlers.call = std::move(call);
}

void TStrmServer::SetSecure(std::shared_ptr<const TTlsContext> tls,
                            std::function<void(TStrmSocket*, const QByteArray&)> call)
{
    std::lock_guard lock(shared_->lock);
    shared_->handlers.tls = std::move(tls);
    shared_->handlers.call = std::move(call);
}

bool TStrmServer::Listen()
{
    if (listener_)
        return port_ != 0;
    listener_ = new TStrmListener(shared_);
    listener_->moveToThread(&network_);
    connect(listener_, &TStrmListener::Contact, this, &TStrmServer::Contact);
    connect(listener_, &TStrmListener::Failed, this, &TStrmServer::MessageFailed);
    connect(listener_, &TStrmListener::Ended, this, &TStrmServer::Disconnected);
    network_.start();
    bool listening = false;
    TStrmListener* listener = listener_;
    const quint16 port = quint16(Port);
    QMetaObject::invokeMethod(
        listener_,
        [listener, port, &listening] {
            listening = listener->Listen(port);
            return listening;
        },
        Qt::BlockingQueuedConnection);
    port_ = listening ? listener_->Port() : 0;
    return listening;
}

void TStrmServer::Contact(quint64 id, const QString& peer, const QByteArray& key)
{
    const QString folder = SpoolFolderNow ? SpoolFolderNow() : SpoolFolder;
    TStrmListener* listener = listener_;
    if (listener)
        QMetaObject::invokeMethod(
            listener, [listener, id, folder] { listener->GiveFolder(id, folder); },
            Qt::QueuedConnection);
    emit ClientContact(peer, key);
}

int TStrmServer::ClientCount() const
{
    return shared_->clients;
}

qint64 TStrmServer::ReceivedCount() const
{
    return shared_->received;
}

qint64 TStrmServer::TotalCount() const
{
    return shared_->total;
}

void TStrmServer::Abort()
{
    if (TStrmListener* listener = listener_)
        QMetaObject::invokeMethod(
            listener, [listener] { listener->AbortAll(); }, Qt::QueuedConnection);
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

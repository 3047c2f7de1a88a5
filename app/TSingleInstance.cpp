#include "app/TSingleInstance.h"

#include "platform/logging/Logging.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {
constexpr int WaitMs = 2000;
const QByteArray ActivateRequest = "activate\n";
const QByteArray ActivateReply = "ok\n";

// Asks a running copy to come to the front; true when it answered.
bool AskRunningCopy(const QString& path)
{
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(WaitMs))
        return false;
    socket.write(ActivateRequest);
    if (!socket.waitForBytesWritten(WaitMs))
        return false;
    // A copy too busy to answer is still running: ending here is right either way.
    while (socket.bytesAvailable() < ActivateReply.size() && socket.waitForReadyRead(WaitMs)) {
    }
    return true;
}
} // namespace

TSingleInstance::TSingleInstance(QString runtimeFolder, QObject* parent) : QObject(parent)
{
    if (runtimeFolder.isEmpty())
        runtimeFolder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    QDir().mkpath(runtimeFolder);
    socketPath_ = runtimeFolder + QStringLiteral("/parlavue.socket");
    lock_ = std::make_unique<QLockFile>(runtimeFolder + QStringLiteral("/parlavue.lock"));
}

TSingleInstance::~TSingleInstance()
{
    if (server_)
        server_->close();
}

bool TSingleInstance::Claim()
{
    // Two copies starting at once must not both find no one and both listen.
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(WaitMs)) {
        qCWarning(lcApp) << "cannot take" << socketPath_ << "- starting anyway";
        return true;
    }
    struct TUnlock
    {
        QLockFile& lock;
        ~TUnlock() { lock.unlock(); }
    } unlock{*lock_};
    if (AskRunningCopy(socketPath_)) {
        qCInfo(lcApp) << "another copy runs in this session: brought it to the front";
        return false;
    }
    // A socket file left by a copy that died is in the way.
    QLocalServer::removeServer(socketPath_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(socketPath_)) {
        qCWarning(lcApp) << "cannot listen on" << socketPath_ << ":" << server_->errorString();
        return true;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                // Only the one request is understood; anything longer is dropped unread.
                if (socket->bytesAvailable() > 64) {
                    socket->abort();
                    return;
                }
                if (!socket->canReadLine())
                    return;
                if (socket->readLine() == ActivateRequest) {
                    qCInfo(lcApp) << "a second start asked this copy to come to the front";
                    socket->write(ActivateReply);
                    if (OnActivate)
                        OnActivate();
                }
                socket->disconnectFromServer();
            });
        }
    });
    return true;
}

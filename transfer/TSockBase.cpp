// The socket component's life, its notifications, connecting, host lookups, listening and
// closing. The transfer operations are in TSockBaseIo.cpp.
#include "transfer/TSockBase.h"

#include "platform/errors/EAbortError.h"
#include "platform/logging/Logging.h"
#include "transfer/SockConst.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostInfo>
#include <QSocketNotifier>
#include <QThread>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// How long a connect may take when the component has no time-out of its own: a host that
// never answers must not hold the window for ever.
constexpr qint64 ConnectLimitMs = 15000;
// Connections waiting to be accepted; the server takes them one by one on the UI thread.
constexpr int ListenBacklog = 16;

} // namespace

TSockBase::TSockBase(QObject* owner) : QObject(owner), buffer_(65537, '\0')
{
    Report(QStringLiteral("Create"), 8);
    timer_ = std::make_unique<TSockTimer>();
    timer_->SetEnabled(false);
    timer_->SetOnTimer([this] { TimerTriggered(); });
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    Report(QStringLiteral("Initializing Winsock"), 8);
    NewSocket(true);
    if (socket_ < 0)
        throw ESockError(QStringLiteral("Initializaton of windows sockets failed"));
}

TSockBase::~TSockBase()
{
    Report(QStringLiteral("Destroy"), 8);
    TSockBase::Abort();
    Cancel();
    TimerOff();
    Destroying = true;
    try {
        CloseConnection();
    } catch (const std::exception& e) {
        qCDebug(lcTransfer) << "closing at the end:" << e.what();
    }
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

bool TSockBase::OnOwnerThread() const
{
    return QCoreApplication::instance() && QThread::currentThread() == thread();
}

void TSockBase::Report(const QString& text, int level)
{
    if (level > ReportLevel || Destroying)
        return;
    Status = text;
    if (!OnStatus)
        return;
    try {
        OnStatus(this, text);
    } catch (...) {
    }
}

void TSockBase::NewSocket(bool lingerZero)
{
    CloseSocketOnly();
    socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (socket_ < 0) {
        SetErrnoError(errno);
        return;
    }
    if (lingerZero) {
        const linger l{1, 0};
        ::setsockopt(socket_, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    }
    if (notifications_ && OnOwnerThread()) {
        readNotifier_ = std::make_unique<QSocketNotifier>(socket_, QSocketNotifier::Read);
        writeNotifier_ = std::make_unique<QSocketNotifier>(socket_, QSocketNotifier::Write);
        connect(readNotifier_.get(), &QSocketNotifier::activated, this,
                [this] { SocketActivated(true); });
        connect(writeNotifier_.get(), &QSocketNotifier::activated, this,
                [this] { SocketActivated(false); });
    }
    UpdateNotifiers();
}

void TSockBase::AdoptSocket(int fd)
{
    CloseSocketOnly();
    socket_ = fd;
    listening_ = false;
}

void TSockBase::SetNotifications(bool on)
{
    notifications_ = on;
    if (!on) {
        readNotifier_.reset();
        writeNotifier_.reset();
    }
}

void TSockBase::CloseSocketOnly()
{
    readNotifier_.reset();
    writeNotifier_.reset();
    if (socket_ >= 0)
        ::close(socket_);
    socket_ = -1;
}

void TSockBase::UpdateNotifiers()
{
    // Level-triggered: a notifier stays on only while something should happen when it fires.
    if (readNotifier_)
        readNotifier_->setEnabled(waiting_ == 0 && (listening_ || Connected));
    if (writeNotifier_)
        writeNotifier_->setEnabled(waiting_ == 0 && connecting_);
}

void TSockBase::SocketActivated(bool readable)
{
    if (waiting_ > 0) {
        // An operation waits for this socket and looks at it itself.
        (readable ? readNotifier_ : writeNotifier_)->setEnabled(false);
        return;
    }
    try {
        if (!readable) {
            if (connecting_)
                ConnectEvent();
            UpdateNotifiers();
            return;
        }
        LastSucceeded = true;
        if (listening_) {
            Connected = true;
            if (acceptCallback_)
                acceptCallback_();
            else
                readNotifier_->setEnabled(false);
            return;
        }
        char byte = 0;
        const ssize_t n = ::recv(socket_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n > 0) {
            // Bytes nobody reads yet: told once, then left for the next operation.
            readNotifier_->setEnabled(false);
            if (OnDataArrival)
                OnDataArrival(this);
        } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            LastSucceeded = n == 0;
            CloseConnection(); // the peer has closed, or the connection broke
        }
    } catch (...) {
        // Nothing of a notification's failure reaches anyone.
    }
}

void TSockBase::ConnectEvent()
{
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(socket_, SOL_SOCKET, SO_ERROR, &error, &size) < 0)
        error = errno;
    connecting_ = false;
    LastSucceeded = error == 0;
    if (error)
        SetErrnoError(error);
    UpdateNotifiers();
    if (!LastSucceeded)
        return;
    Connected = true;
    UpdateNotifiers();
    if (OnConnect)
        OnConnect(this);
}

void TSockBase::Connect()
{
    Report(QStringLiteral("Connecting"), 8);
    Canceled = false;
    if (Connected)
        throw ESockError(QStringLiteral("Already connected"));
    for (int retry = 0;; ++retry) {
        try {
            ResolveHost();
        } catch (const EAbortError&) {
            throw;
        } catch (const ESockError& e) {
            if (e.Message() == QLatin1String("Host Lookup Timed Out") ||
                e.Message() == QLatin1String("Host Lookup Canceled"))
                throw;
        }
        if (!RemoteAddress.isNull())
            break;
        bool handled = false;
        if (retry == 0 && OnInvalidHost)
            OnInvalidHost(this, handled);
        if (retry > 0 || !handled)
            throw ESockError(QStringLiteral("Null Remote Address"));
    }
    if (socket_ < 0)
        NewSocket(false);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(quint16(Port));
    to.sin_addr.s_addr = htonl(RemoteAddress.toIPv4Address());
    EventDone = false;
    LastSucceeded = true;
    if (::connect(socket_, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
        Connected = true;
        UpdateNotifiers();
        if (OnConnect)
            OnConnect(this);
        return;
    }
    if (errno != EINPROGRESS) {
        SetErrnoError(errno);
        const QString text = SockConst::ErrorMessage(LastError);
        NewSocket(false); // the next attempt needs a socket that has not failed
        throw ESockError(text);
    }
    connecting_ = true;
    StartTimer(TimeOut > 0 ? TimeOut : ConnectLimitMs);
    while (!Connected && !TimedOut && !Canceled && LastSucceeded) {
        const TWait w = WaitSocket(POLLOUT, timerDeadline_);
        if (w == TWait::Ready && connecting_)
            ConnectEvent();
        else if (w == TWait::TimedOut)
            TimedOut = true;
    }
    TimerOff();
    connecting_ = false;
    UpdateNotifiers();
    if (Connected && !TimedOut && !Canceled && LastSucceeded)
        return;
    const bool timedOut = TimedOut, canceled = Canceled;
    Canceled = false;
    Connected = false;
    NewSocket(false);
    if (OnConnectionFailed)
        OnConnectionFailed(this);
    throw ESockError(timedOut   ? QStringLiteral("Connection Timed out")
                     : canceled ? QStringLiteral("Connection Canceled")
                                : QStringLiteral("Connection Failed"));
}

void TSockBase::Disconnect()
{
    Report(QStringLiteral("Disconnecting"), 8);
    CloseConnection();
}

void TSockBase::Cancel()
{
    Report(QStringLiteral("Canceling"), 8);
    Canceled = true;
    if (wakeFd_ >= 0) {
        const quint64 one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
    // An owner thread waiting in its event loop looks again once something happens there.
    if (QCoreApplication::instance() && QThread::currentThread() != thread())
        QMetaObject::invokeMethod(
            this, [] {}, Qt::QueuedConnection);
}

void TSockBase::Abort()
{
    Report(QStringLiteral("Abort"), 8);
    Cancel();
}

void TSockBase::ResolveHost()
{
    Report(QStringLiteral("Resolve Host"), 8);
    QHostAddress dotted;
    if (dotted.setAddress(Host.trimmed()) && dotted.protocol() == QAbstractSocket::IPv4Protocol) {
        RemoteAddress = dotted;
        return;
    }
    RemoteAddress = QHostAddress();
    TimerOn();
    EventDone = false;
    // The answer may come after this operation has given up: it lands in shared state.
    auto found = std::make_shared<QHostInfo>();
    auto done = std::make_shared<std::atomic<bool>>(false);
    const int id =
        QHostInfo::lookupHost(Host.trimmed(), this, [found, done](const QHostInfo& info) {
            *found = info;
            *done = true;
        });
    auto finished = [&] {
        EventDone = EventDone || *done;
        return EventDone;
    };
    while (!finished() && !TimedOut && !Canceled) {
        if (OnOwnerThread())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        else
            QThread::msleep(2);
    }
    TimerOff();
    if (!*done)
        QHostInfo::abortHostLookup(id);
    if (TimedOut)
        throw ESockError(QStringLiteral("Host Lookup Timed Out"));
    if (Canceled) {
        Canceled = false;
        throw ESockError(QStringLiteral("Host Lookup Canceled"));
    }
    for (const QHostAddress& a : found->addresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol) {
            RemoteAddress = a;
            if (OnHostResolved)
                OnHostResolved(this);
            return;
        }
    }
    throw ESockError(QStringLiteral("Host Lookup Failed"));
}

void TSockBase::Listen()
{
    Report(QStringLiteral("Listening"), 8);
    const int yes = 1;
    // A restarted program binds its port again at once, while old connections linger.
    ::setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(quint16(Port));
    at.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(socket_, reinterpret_cast<const sockaddr*>(&at), sizeof at) < 0 ||
        ::listen(socket_, ListenBacklog) < 0) {
        qCWarning(lcTransfer) << "cannot listen on TCP port" << Port << ":" << strerror(errno);
        return;
    }
    listening_ = true;
    UpdateNotifiers();
    qCInfo(lcTransfer) << "listening on TCP port" << LocalPort();
}

int TSockBase::Accept()
{
    Report(QStringLiteral("Accepting"), 4);
    while (!EventDone && !Canceled)
        QThread::msleep(2);
    if (Canceled) {
        Canceled = false;
        throw ESockError(QStringLiteral("Accepting Canceled"));
    }
    if (!LastSucceeded)
        throw ESockError(QStringLiteral("Error creating Data Connection"));
    sockaddr_in from{};
    socklen_t size = sizeof from;
    const int fd =
        ::accept4(socket_, reinterpret_cast<sockaddr*>(&from), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        SetErrnoError(errno);
        throw ESockError(SockConst::ErrorMessage(LastError));
    }
    RemoteAddress = QHostAddress(ntohl(from.sin_addr.s_addr));
    return fd;
}

QString TSockBase::ErrorMessage(int error)
{
    return SockConst::ErrorText(error);
}

void TSockBase::SetErrnoError(int errnoValue)
{
    LastError = SockConst::FromErrno(errnoValue);
}

QString TSockBase::CheckSocketError(int expected)
{
    if (LastError == expected || LastError <= 10000)
        return QString();
    ThrowSocketError(LastError);
}

void TSockBase::ThrowSocketError(int error)
{
    Report(QStringLiteral("Looking Up Error Message"), 8);
    const QString text = SockConst::ErrorMessage(error);
    if (OnError)
        OnError(this, error, text);
    throw ESockError(text);
}

void TSockBase::CloseConnection()
{
    Report(QStringLiteral("Request Close Socket"), 4);
    // Only a connection that was there ends: the fresh socket left behind by a close the
    // peer began is closed again without a second word to the owner.
    const bool ending = Connected || connecting_;
    Connected = false;
    connecting_ = false;
    if (socket_ < 0)
        return;
    readNotifier_.reset();
    writeNotifier_.reset();
    const int fd = socket_;
    socket_ = -1;
    if (::close(fd) < 0) {
        SetErrnoError(errno);
        CheckSocketError(SockConst::WouldBlock);
        return;
    }
    if (Destroying)
        return;
    if (ending && OnDisconnect)
        OnDisconnect(this);
    if (!Destroying)
        NewSocket(false);
}

bool TSockBase::DataAvailable() const
{
    int waiting = 0;
    return socket_ >= 0 && ::ioctl(socket_, FIONREAD, &waiting) == 0 && waiting > 0;
}

QString TSockBase::RemoteIP() const
{
    return RemoteAddress.isNull() ? QStringLiteral("0.0.0.0") : RemoteAddress.toString();
}

quint16 TSockBase::LocalPort() const
{
    sockaddr_in at{};
    socklen_t size = sizeof at;
    if (socket_ < 0 || ::getsockname(socket_, reinterpret_cast<sockaddr*>(&at), &size) < 0)
        return 0;
    return ntohs(at.sin_port);
}

void TSockBase::TimerOn()
{
    StartTimer(TimeOut);
}

void TSockBase::StartTimer(qint64 interval)
{
    TimedOut = false;
    timerDeadline_ = -1;
    if (interval <= 0)
        return;
    QElapsedTimer clock;
    clock.start();
    timerDeadline_ = clock.msecsSinceReference() + interval;
    // The timer lives on the owner's thread; a worker counts against the deadline itself.
    if (OnOwnerThread()) {
        timer_->SetInterval(quint32(interval));
        timer_->SetEnabled(true);
    }
}

void TSockBase::TimerOff()
{
    timerDeadline_ = -1;
    if (OnOwnerThread() || !QCoreApplication::instance())
        timer_->SetEnabled(false);
}

void TSockBase::TimerTriggered()
{
    Report(QStringLiteral("Timer Triggered"), 8);
    TimerOff();
    TimedOut = true;
    EventDone = true;
    Abort();
}

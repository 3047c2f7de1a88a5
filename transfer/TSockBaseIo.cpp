// The socket component's transfer operations: writing, reading exactly n bytes, sending a
// stream and receiving into one.
#include "transfer/TSockBase.h"

#include "platform/errors/EAbortError.h"
#include "transfer/SockConst.h"
#include "transfer/TStrmFraming.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QIODevice>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

qint64 Now()
{
    QElapsedTimer clock;
    clock.start();
    return clock.msecsSinceReference();
}

bool WouldBlock(int e)
{
    return e == EAGAIN || e == EWOULDBLOCK || e == EINTR;
}

[[noreturn]] void ThrowTimedOut()
{
    throw ESockError(SockConst::ErrorMessage(10060));
}

} // namespace

qint64 TSockBase::SilenceDeadline() const
{
    qint64 deadline = SilenceLimitMs > 0 ? Now() + SilenceLimitMs : -1;
    for (const qint64 other : {timerDeadline_, deadline_})
        if (other >= 0)
            deadline = deadline < 0 ? other : qMin(deadline, other);
    return deadline;
}

void TSockBase::LimitTime(qint64 ms)
{
    deadline_ = Now() + ms;
}

TSockBase::TWait TSockBase::WaitSocket(short events, qint64 deadline)
{
    while (true) {
        if (Canceled)
            return TWait::Canceled;
        pollfd now{socket_, events, 0};
        if (::poll(&now, 1, 0) > 0)
            return TWait::Ready;
        const qint64 left = deadline < 0 ? -1 : deadline - Now();
        if (deadline >= 0 && left <= 0)
            return TWait::TimedOut;
        if (OnOwnerThread()) {
            // The event loop runs until the socket, a timer or anything else wakes it.
            ++waiting_;
            if (readNotifier_)
                readNotifier_->setEnabled(events & POLLIN);
            if (writeNotifier_)
                writeNotifier_->setEnabled(events & POLLOUT);
            QTimer wake;
            wake.setSingleShot(true);
            if (left >= 0)
                wake.start(int(qMin<qint64>(left, INT_MAX)));
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            --waiting_;
            UpdateNotifiers();
            continue;
        }
        pollfd fds[2] = {{socket_, events, 0}, {wakeFd_, POLLIN, 0}};
        const int n =
            ::poll(fds, wakeFd_ >= 0 ? 2 : 1, left < 0 ? -1 : int(qMin<qint64>(left, INT_MAX)));
        if (n > 0 && (fds[1].revents & POLLIN)) {
            quint64 count = 0;
            [[maybe_unused]] const ssize_t r = ::read(wakeFd_, &count, sizeof count);
        }
    }
}

void TSockBase::Pause(qint64 ms)
{
    const qint64 until = Now() + ms;
    while (!Canceled) {
        const qint64 left = until - Now();
        if (left <= 0)
            return;
        pollfd wake{wakeFd_, POLLIN, 0};
        if (::poll(&wake, wakeFd_ >= 0 ? 1 : 0, int(qMin<qint64>(left, INT_MAX))) > 0) {
            quint64 count = 0;
            [[maybe_unused]] const ssize_t r = ::read(wakeFd_, &count, sizeof count);
        }
    }
    Canceled = false;
    throw EAbortError(QStringLiteral("Socket capture aborted"));
}

void TSockBase::Write(const QByteArray& text)
{
    Report(QStringLiteral("Write"), 8);
    const QByteArray part = text.left(TStrmFraming::BlockSize);
    const qsizetype nul = part.indexOf('\0');
    const qint64 length = nul < 0 ? part.size() : nul;
    if (length > 0)
        SendBuffer(part.constData(), length);
}

void TSockBase::SendBuffer(const char* data, qint64 length)
{
    Report(QStringLiteral("Sending Buffer"), 4);
    TimerOn();
    if (!Canceled) {
        if (length == 0)
            length = qint64(strnlen(data, 65535));
        qint64 done = 0;
        while (done < length && !Canceled) {
            const ssize_t n = ::send(socket_, data + done, size_t(length - done), MSG_NOSIGNAL);
            if (n > 0) {
                done += n;
                continue;
            }
            if (n == 0)
                break;
            if (!WouldBlock(errno)) {
                SetErrnoError(errno);
                TimerOff();
                CheckSocketError(SockConst::WouldBlock);
                break;
            }
            if (WaitSocket(POLLOUT, SilenceDeadline()) == TWait::TimedOut) {
                TimerOff();
                ThrowTimedOut();
            }
        }
    }
    TimerOff();
    if (Canceled) {
        Canceled = false;
        throw EAbortError(QStringLiteral("Socket send aborted"));
    }
}

QByteArray TSockBase::Read(int n)
{
    Report(QStringLiteral("Read( %1 )").arg(n), 8);
    QByteArray got;
    got.reserve(qMax(n, 0));
    while (got.size() < n) {
        if (Canceled) {
            Canceled = false;
            throw EAbortError(QStringLiteral("Socket send aborted"));
        }
        const ssize_t r = ::recv(socket_, buffer_.data(), size_t(n - got.size()), MSG_DONTWAIT);
        if (r > 0) {
            got.append(buffer_.constData(), r);
            continue;
        }
        // The peer has closed: what arrived is all there will be.
        if (r == 0)
            return got;
        if (!WouldBlock(errno)) {
            SetErrnoError(errno);
            CheckSocketError(SockConst::WouldBlock);
            return got;
        }
        if (WaitSocket(POLLIN | POLLRDHUP, SilenceDeadline()) == TWait::TimedOut)
            ThrowTimedOut();
    }
    return got;
}

void TSockBase::SendStream(QIODevice& stream)
{
    Report(QStringLiteral("SendStream"), 8);
    stream.seek(0);
    if (!Canceled) {
        SentCount = 0;
        const qint64 size = stream.size();
        if (size > TStrmFraming::MaxBody)
            throw ESockError(QStringLiteral("The stream is too large to send."));
        TotalCount = size;
        while (stream.pos() < size && !Canceled) {
            const qint64 block = stream.read(
                buffer_.data(), qMin<qint64>(size - stream.pos(), TStrmFraming::BlockSize));
            if (block <= 0)
                throw ESockError(
                    QStringLiteral("The stream cannot be read: %1").arg(stream.errorString()));
            qint64 done = 0;
            while (done < block && !Canceled) {
                const ssize_t n =
                    ::send(socket_, buffer_.constData() + done, size_t(block - done), MSG_NOSIGNAL);
                if (n > 0) {
                    done += n;
                    SentCount += n;
                    if (OnPacketSent)
                        OnPacketSent(this);
                    if (OnOwnerThread())
                        QCoreApplication::processEvents();
                    continue;
                }
                if (n == 0)
                    return;
                if (!WouldBlock(errno)) {
                    SetErrnoError(errno);
                    CheckSocketError(SockConst::WouldBlock);
                    return;
                }
                if (WaitSocket(POLLOUT, SilenceDeadline()) == TWait::TimedOut)
                    ThrowTimedOut();
            }
        }
    }
    if (Canceled) {
        Canceled = false;
        throw EAbortError(QStringLiteral("Socket send aborted"));
    }
}

void TSockBase::CaptureStream(QIODevice& stream, qint64 n)
{
    Report(QStringLiteral("Capture Stream"), 8);
    ReceivedCount = 0;
    TimerOn();
    stream.seek(stream.size());
    // How much had come by each second, for the slowest pace a body may keep.
    const qint64 start = Now();
    std::deque<std::pair<qint64, qint64>> marks{{start, 0}};
    auto tooSlow = [&] {
        if (MinWindowBytes <= 0)
            return false;
        const qint64 now = Now();
        if (now - marks.back().first >= 1000)
            marks.emplace_back(now, qint64(ReceivedCount));
        if (now - start < RateWindowMs)
            return false;
        // The count a window ago: the newest mark at least that old.
        while (marks.size() > 1 && marks[1].first <= now - RateWindowMs)
            marks.pop_front();
        return ReceivedCount - marks.front().second < MinWindowBytes;
    };
    while (!Canceled && stream.size() < n) {
        if (tooSlow()) {
            TimerOff();
            throw ESockError(QStringLiteral("The body came slower than %1 bytes in %2 s.")
                                 .arg(MinWindowBytes)
                                 .arg(RateWindowMs / 1000));
        }
        // Never more than was announced: whatever follows is not part of the body.
        const qint64 want = qMin<qint64>(n - stream.size(), TStrmFraming::BlockSize);
        const ssize_t r = ::recv(socket_, buffer_.data(), size_t(want), MSG_DONTWAIT);
        if (r > 0) {
            if (stream.write(buffer_.constData(), r) != r) {
                TimerOff();
                throw ESockError(QStringLiteral("The received data cannot be stored: %1")
                                     .arg(stream.errorString()));
            }
            ReceivedCount += r;
            if (OnPacketRecvd)
                OnPacketRecvd(this);
            TimerOn();
        } else if (r == 0 || errno == ENOTCONN) {
            break;
        } else if (!WouldBlock(errno)) {
            SetErrnoError(errno);
            TimerOff();
            CheckSocketError(SockConst::WouldBlock);
            break;
        } else {
            // Woken each second while a pace is kept, so a body that stops is judged in time;
            // the silence limit still counts from the last bytes.
            const qint64 silent = SilenceDeadline();
            const bool paced = MinWindowBytes > 0;
            const qint64 wake =
                paced ? (silent < 0 ? Now() + 1000 : qMin(silent, Now() + 1000)) : silent;
            if (WaitSocket(POLLIN | POLLRDHUP, wake) == TWait::TimedOut &&
                (!paced || (silent >= 0 && Now() >= silent))) {
                TimerOff();
                ThrowTimedOut();
            }
        }
        if (OnOwnerThread())
            QCoreApplication::processEvents();
    }
    TimerOff();
    if (Canceled) {
        Canceled = false;
        throw EAbortError(QStringLiteral("Socket capture aborted"));
    }
}

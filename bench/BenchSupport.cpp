#include "bench/BenchSupport.h"

#include <QCoreApplication>
#include <QTimer>

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>

#include <arpa/inet.h>
#include <atomic>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace bench {

double ThreadCpu()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

void WaitForEvents(int ms)
{
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(ms);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

double ProcessCpu()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

qint64 StatusKiB(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qsizetype(strlen(field))).trimmed().split(' ').first().toLongLong();
    return -1;
}

void ResetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

int LoopbackListener(sockaddr_in* at)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    *at = {};
    at->sin_family = AF_INET;
    at->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof *at;
    ::bind(listener, reinterpret_cast<sockaddr*>(at), sizeof *at);
    ::listen(listener, 1);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(at), &len);
    return listener;
}

int ConnectTo(const sockaddr_in& at)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ::connect(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at);
    return fd;
}

TResult PlainCopy(QIODevice& source, const QString& path)
{
    return SocketCopy(source, path, {});
}

TResult SocketCopy(QIODevice& source, const QString& path, const TCopyChannel& channel)
{
    sockaddr_in at{};
    const int listener = LoopbackListener(&at);
    TResult r;
    std::atomic<double> receiverCpu{0};
    std::atomic<qint64> written{0};
    std::thread receiver([&] {
        const int fd = ::accept(listener, nullptr, nullptr);
        const auto take =
            channel.receiving ? channel.receiving(fd) : [fd](char* data, qint64 n) -> qint64 {
            return ::recv(fd, data, size_t(n), 0);
        };
        const int out = ::open(path.toLocal8Bit().constData(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
        QByteArray buffer(Block, '\0');
        qint64 total = 0;
        for (qint64 n; (n = take(buffer.data(), Block)) > 0; total += n)
            if (::write(out, buffer.constData(), size_t(n)) != n)
                break;
        ::close(out);
        ::close(fd);
        written = total;
        receiverCpu = ThreadCpu();
    });
    QElapsedTimer clock;
    const double cpu0 = ThreadCpu();
    const double process0 = ProcessCpu();
    clock.start();
    const int fd = ConnectTo(at);
    {
        const auto give =
            channel.sending ? channel.sending(fd) : [fd](const char* data, qint64 n) -> qint64 {
            return ::send(fd, data, size_t(n), 0);
        };
        QByteArray buffer(Block, '\0');
        for (qint64 n; (n = source.read(buffer.data(), Block)) > 0;) {
            for (qint64 done = 0; done < n;) {
                const qint64 s = give(buffer.constData() + done, n - done);
                if (s <= 0)
                    break;
                done += s;
            }
        }
    }
    ::close(fd);
    receiver.join();
    r.seconds = clock.elapsed() / 1000.0;
    r.senderCpu = ThreadCpu() - cpu0;
    r.processCpu = ProcessCpu() - process0;
    r.receiverCpu = receiverCpu;
    r.bytes = written;
    ::close(listener);
    return r;
}

} // namespace bench

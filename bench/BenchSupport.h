#pragma once

#include <QIODevice>
#include <QString>

#include <netinet/in.h>

#include <functional>

// What the transfer benchmarks share: the plain socket copy they are measured against, and the
// readings of CPU time and memory.
namespace bench {

constexpr qint64 Block = 65536;

struct TResult
{
    double seconds = 0;
    double senderCpu = 0;
    double receiverCpu = 0;
    double processCpu = 0; // every thread of the process
    double maxGapMs = 0;   // the UI thread's longest wait for a due timer
    qint64 peakKiB = 0;    // above the resident size at the start
    qint64 bytes = 0;
};

// The calling thread's CPU time in seconds.
double ThreadCpu();
// The whole process's CPU time in seconds, every thread included.
double ProcessCpu();
// A "VmRSS:"-style field of /proc/self/status in KiB; -1 when it cannot be read.
qint64 StatusKiB(const char* field);
// Runs the calling thread's events once, waiting for them at most ms: unlike processEvents with
// a time, which polls without sleeping, the thread sleeps while nothing happens.
void WaitForEvents(int ms);
// Forgets the peak so far, so the next reading is this run's own.
void ResetPeak();
// Sends what is left of source through a loopback socket with a plain send loop, while a thread
// receives it with a plain recv loop into a new file at path. The sender is the calling thread.
TResult PlainCopy(QIODevice& source, const QString& path);
// What the two ends of a socket copy do on their connected sockets; unset, the plain system
// calls. Each is called once with its socket and gives that end's way to move bytes: what it
// moved, or nothing more at zero or less.
struct TCopyChannel
{
    std::function<std::function<qint64(char*, qint64)>(int fd)> receiving;
    std::function<std::function<qint64(const char*, qint64)>(int fd)> sending;
};
// The plain copy's loop, a file through a loopback socket to a file, over the channel given.
TResult SocketCopy(QIODevice& source, const QString& path, const TCopyChannel& channel);
// A listening TCP socket on a free loopback port, whose address goes to *at; and a socket
// connected to it. Blocking, as the plain copies use them.
int LoopbackListener(sockaddr_in* at);
int ConnectTo(const sockaddr_in& at);

} // namespace bench

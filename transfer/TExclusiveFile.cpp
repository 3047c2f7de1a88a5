#include "transfer/TExclusiveFile.h"

#include "platform/logging/Logging.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One real-time signal for every lease in the process. Real-time signals queue, so two breaks
// at once are two deliveries, each naming its descriptor. Nothing else here uses this one.
int LeaseSignal()
{
    return SIGRTMIN + 4;
}

// The self-pipe: the handler writes the descriptor whose lease breaks, a notifier on the main
// thread reads it.
int wakeRead = -1;
std::atomic<int> wakeWrite{-1};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler writes it");

void OnLeaseSignal(int, siginfo_t* info, void*)
{
    const int saved = errno;
    const int fd = info->si_fd;
    // A full pipe drops the wake-up; with 16 Ki of them pending nothing is listening anyway.
    if (::write(wakeWrite.load(std::memory_order_relaxed), &fd, sizeof fd) < 0) {
    }
    errno = saved;
}

// Installs the handler once; empty when it is in place, otherwise why not.
const QString& InstallLeaseSignal()
{
    static std::once_flag once;
    static QString failure;
    std::call_once(once, [] {
        struct sigaction old
        {};
        if (::sigaction(LeaseSignal(), nullptr, &old) != 0 || old.sa_handler != SIG_DFL) {
            failure = QStringLiteral("signal %1 is in use").arg(LeaseSignal());
            return;
        }
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
            failure = QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        wakeRead = ends[0];
        wakeWrite.store(ends[1]);
        struct sigaction action
        {};
        action.sa_sigaction = OnLeaseSignal;
        action.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&action.sa_mask);
        if (::sigaction(LeaseSignal(), &action, nullptr) != 0)
            failure = QString::fromLocal8Bit(std::strerror(errno));
    });
    return failure;
}

// Which object holds the lease on which descriptor. The main thread reads it, each object's
// own thread changes it.
std::mutex& RegistryMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::unordered_map<int, TExclusiveFile*>& Registry()
{
    static std::unordered_map<int, TExclusiveFile*> registry;
    return registry;
}

void Register(int fd, TExclusiveFile* file)
{
    std::lock_guard lock(RegistryMutex());
    Registry()[fd] = file;
}

void Unregister(int fd)
{
    std::lock_guard lock(RegistryMutex());
    Registry().erase(fd);
}

QString ErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

TExclusiveFile::TExclusiveFile(const QString& path, QObject* parent)
    : QFile(path, parent), path_(path)
{}

TExclusiveFile::~TExclusiveFile()
{
    // QFile's destructor closes too, but no longer through our close().
    close();
}

bool TExclusiveFile::OpenExclusive()
{
    if (isOpen()) {
        setErrorString(tr("%1 is already open.").arg(path_));
        return false;
    }
    broken_ = false;
    // Not blocking: a program holding a write lease would otherwise keep us waiting, and a
    // named pipe would wait for a writer.
    const int fd =
        ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT)
            setErrorString(tr("%1 does not exist.").arg(path_));
        else if (error == EWOULDBLOCK)
            setErrorString(tr("%1 is in use by another program.").arg(path_));
        else
            setErrorString(tr("Cannot open %1: %2.").arg(path_, ErrorText(error)));
        return false;
    }
    struct stat info
    {};
    QString refusal;
    if (::fstat(fd, &info) != 0)
        refusal = tr("Cannot open %1: %2.").arg(path_, ErrorText(errno));
    else if (S_ISDIR(info.st_mode))
        refusal = tr("%1 is a folder, not a file.").arg(path_);
    else if (!S_ISREG(info.st_mode))
        refusal = tr("%1 is not a regular file.").arg(path_);
    if (!refusal.isEmpty()) {
        ::close(fd);
        setErrorString(refusal);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!TakeLease(fd)) {
        ::close(fd);
        return false;
    }
    if (!QFile::open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        const QString why = errorString();
        ReleaseLease(fd);
        ::close(fd);
        setErrorString(tr("Cannot open %1: %2.").arg(path_, why));
        return false;
    }
    return true;
}

bool TExclusiveFile::TakeLease(int fd)
{
    QString unguarded;
    if (!QCoreApplication::instance())
        unguarded = QStringLiteral("no event loop would answer another program's write");
    else
        unguarded = InstallLeaseSignal();
    if (unguarded.isEmpty()) {
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            WatchLeaseSignals();
        else
            QMetaObject::invokeMethod(
                QCoreApplication::instance(), [] { WatchLeaseSignals(); }, Qt::QueuedConnection);
        Register(fd, this);
        // The signal first: the default one for a lease, SIGIO, would end the program.
        if (::fcntl(fd, F_SETSIG, LeaseSignal()) != 0) {
            unguarded = ErrorText(errno);
        } else if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
            guarded_ = true;
            return true;
        } else if (errno == EAGAIN) {
            Unregister(fd);
            setErrorString(tr("%1 is open for writing in another program.").arg(path_));
            return false;
        } else {
            // EACCES: another user's file without CAP_LEASE; EINVAL: no leases on that file
            // system.
            unguarded = ErrorText(errno);
        }
        Unregister(fd);
    }
    qCInfo(lcTransfer).noquote() << "reading" << path_
                                 << "unguarded, other programs may write it:" << unguarded;
    return true;
}

void TExclusiveFile::WatchLeaseSignals()
{
    static QPointer<QSocketNotifier> notifier;
    if (notifier)
        return;
    notifier = new QSocketNotifier(wakeRead, QSocketNotifier::Read, QCoreApplication::instance());
    connect(notifier, &QSocketNotifier::activated, notifier, [] {
        int fds[64];
        // Until the pipe is empty; a notifier fires again for what a bound leaves.
        for (int round = 0; round < 64; ++round) {
            const ssize_t n = ::read(wakeRead, fds, sizeof fds);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            std::lock_guard lock(RegistryMutex());
            for (size_t i = 0; i < size_t(n) / sizeof(int); ++i) {
                const auto holder = Registry().find(fds[i]);
                if (holder == Registry().end())
                    continue; // released meanwhile
                // Posted, so a file that goes first takes the event with it.
                TExclusiveFile* file = holder->second;
                QMetaObject::invokeMethod(
                    file, [file] { file->CheckLease(); }, Qt::QueuedConnection);
            }
        }
    });
}

void TExclusiveFile::CheckLease()
{
    if (!guarded_ || !isOpen())
        return;
    // While a break is pending the kernel reports the lease the breaker needs, not ours.
    if (::fcntl(handle(), F_GETLEASE) == F_RDLCK)
        return;
    ReleaseLease(handle());
    broken_ = true;
    qCInfo(lcTransfer).noquote() << "another program opens" << path_ << "for writing; it is let go";
    emit LeaseBroken();
}

void TExclusiveFile::ReleaseLease(int fd)
{
    if (!guarded_)
        return;
    Unregister(fd);
    ::fcntl(fd, F_SETLEASE, F_UNLCK);
    guarded_ = false;
}

void TExclusiveFile::close()
{
    if (isOpen())
        ReleaseLease(handle());
    QFile::close();
}

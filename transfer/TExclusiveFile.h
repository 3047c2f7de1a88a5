#pragma once

#include <QFile>
#include <QString>

// A file opened for sending that no other program writes while we read it. Opening holds a
// read lease (fcntl F_SETLEASE): the kernel refuses it while anyone has the file open for
// writing, and while we hold it, a program that opens the file for writing waits until we let
// go (at most lease-break-time). We let go as soon as the event loop of the object's thread
// learns of it, and raise LeaseBroken so that the transfer stops.
class TExclusiveFile : public QFile
{
    Q_OBJECT
public:
    explicit TExclusiveFile(const QString& path, QObject* parent = nullptr);
    ~TExclusiveFile() override; // releases the lease, closes

    // Opens read-only and takes a read lease. False (errorString() says why, in words a user
    // reads) when the file cannot be opened, is no regular file, or another program has it
    // open for writing.
    bool OpenExclusive();
    // Whether a lease is held. Where the kernel cannot lease (a file system without leases, a
    // file owned by another user without CAP_LEASE), the file opens unguarded, logged on
    // lcTransfer, and this is false.
    bool Guarded() const { return guarded_; }
    // Set once another program asked to write the file while we held it.
    bool Broken() const { return broken_; }

    // The path given at construction, also while open (a QFile opened from a descriptor
    // forgets its name).
    QString fileName() const override { return path_; }
    // Releases the lease before the descriptor goes.
    void close() override;

signals:
    // Emitted on the object's thread soon after another program tries to open the file for
    // writing. The lease is already released by then; that program goes on once it is.
    void LeaseBroken();

private:
    // On the main thread: makes the notifier that hands each lease signal to the object
    // holding that descriptor.
    static void WatchLeaseSignals();
    // Takes the lease on fd; false (errorString set) when the file is open for writing.
    bool TakeLease(int fd);
    // On the object's thread: whether the kernel really breaks our lease (a signal may be
    // stale, for a descriptor number since reused).
    void CheckLease();
    void ReleaseLease(int fd);

    const QString path_;
    bool guarded_ = false;
    bool broken_ = false;
};

#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

// Shares the free space of the receive folder's file system out among the bodies arriving
// into it, so that a reserve always stays free. A body holds only what it has brought plus a
// bounded look-ahead, and asks again as it grows: one address announcing a huge body it
// sends slowly cannot crowd out the files of others, and the body that would really eat into
// the reserve is the one refused. Thread-safe: bodies arrive on workers of their own.
class TDiskBudget
{
public:
    struct TSpace
    {
        qint64 free = 0;
        qint64 total = 0;
    };
    using TSpaceReader = std::function<std::optional<TSpace>(const QString& folder)>;

    // What a body may bring beyond its last look at the free space.
    static constexpr qint64 LookAhead = qint64(8) << 20;
    // What every file costs however short: its block and its entry.
    static constexpr qint64 MinFileCost = 4096;
    // How near the end of its share a body asks for more: one read's worth.
    static constexpr qint64 Margin = 65536;
    // What stays free of the file system whatever arrives: 5 % of it, at least 64 MiB.
    static qint64 Reserve(qint64 total);

    class TClaim;

    // The folder's file system as statvfs sees it.
    static std::optional<TSpace> FileSystemSpace(const QString& folder);

    // space is asked on the workers; the default reads the file system.
    explicit TDiskBudget(TSpaceReader space = FileSystemSpace);

    // A share for a body of that length to arrive in the folder, or nothing with why not.
    std::shared_ptr<TClaim> Open(const QString& folder, qint64 length, QString* why);

private:
    friend class TClaim;
    // Extends the claim towards bytes, as far as the room beside the others' shares and the
    // reserve goes in that space; false (the claim as it was) when not even the next read fits.
    bool Extend(TClaim& claim, qint64 bytes, const std::optional<TSpace>& space);
    void Close(TClaim& claim);

    TSpaceReader space_;
    std::mutex lock_;
    // What the open claims may still write: held but not yet brought.
    qint64 outstanding_ = 0;
};

// One body's share; given back when it goes (a stored body's bytes are then on the disk,
// where the free space shows them).
class TDiskBudget::TClaim
{
public:
    TClaim(TDiskBudget& budget, QString folder, qint64 length);
    ~TClaim();
    TClaim(const TClaim&) = delete;
    TClaim& operator=(const TClaim&) = delete;

    // The body has brought this many bytes; true while they and the next look-ahead fit.
    bool Grow(qint64 received);

private:
    friend class TDiskBudget;
    // The share a body wants once it has brought received: a look-ahead, within its length.
    qint64 Want(qint64 received) const;

    TDiskBudget& budget_;
    const QString folder_;
    const qint64 length_;
    qint64 held_ = 0;     // what the claim covers, brought or not
    qint64 received_ = 0; // what has been brought (and so shows in the free space)
};

#include "transfer/TDiskBudget.h"

#include <QFile>

#include <algorithm>
#include <sys/statvfs.h>

std::optional<TDiskBudget::TSpace> TDiskBudget::FileSystemSpace(const QString& folder)
{
    struct statvfs fs
    {};
    if (::statvfs(QFile::encodeName(folder).constData(), &fs) != 0)
        return std::nullopt;
    return TSpace{qint64(fs.f_bavail) * qint64(fs.f_frsize),
                  qint64(fs.f_blocks) * qint64(fs.f_frsize)};
}

qint64 TDiskBudget::Reserve(qint64 total)
{
    return std::max<qint64>(total / 20, qint64(64) << 20);
}

TDiskBudget::TDiskBudget(TSpaceReader space) : space_(std::move(space)) {}

std::shared_ptr<TDiskBudget::TClaim> TDiskBudget::Open(const QString& folder, qint64 length,
                                                       QString* why)
{
    const std::optional<TSpace> space = space_(folder);
    if (!space) {
        *why = QStringLiteral("the receive folder's free space is unknown");
        return nullptr;
    }
    // A body that could not fit even alone is refused before a byte of it is read; whether it
    // fits beside the others is asked as it grows.
    const qint64 size = std::max(length, MinFileCost);
    auto claim = std::make_shared<TClaim>(*this, folder, std::max<qint64>(length, 0));
    if (size > space->free - Reserve(space->total) || !Extend(*claim, claim->Want(0), space)) {
        *why = QStringLiteral("not enough free space");
        return nullptr;
    }
    return claim;
}

bool TDiskBudget::Extend(TClaim& claim, qint64 bytes, const std::optional<TSpace>& space)
{
    std::lock_guard lock(lock_);
    if (bytes <= claim.held_)
        return true;
    // The free space already shows what every body has brought; the others' outstanding
    // look-ahead and the reserve must stay beside this one's new share.
    const qint64 others = outstanding_ - (claim.held_ - claim.received_);
    if (!space)
        return false;
    const qint64 room = space->free - others - Reserve(space->total);
    // Near the end of the room the share shrinks to what is left; the body is cut only when
    // not even its next read fits.
    const qint64 need = bytes - claim.received_;
    if (room < std::min(need, Margin))
        return false;
    const qint64 held = std::max(claim.held_, claim.received_ + std::min(need, room));
    outstanding_ += held - claim.held_;
    claim.held_ = held;
    return true;
}

void TDiskBudget::Close(TClaim& claim)
{
    std::lock_guard lock(lock_);
    outstanding_ -= claim.held_ - claim.received_;
}

TDiskBudget::TClaim::TClaim(TDiskBudget& budget, QString folder, qint64 length)
    : budget_(budget), folder_(std::move(folder)), length_(length)
{}

TDiskBudget::TClaim::~TClaim()
{
    budget_.Close(*this);
}

bool TDiskBudget::TClaim::Grow(qint64 received)
{
    {
        std::lock_guard lock(budget_.lock_);
        // What was brought is on the disk now, and out of what this claim still may write.
        const qint64 brought = std::clamp<qint64>(received, received_, held_);
        budget_.outstanding_ -= brought - received_;
        received_ = brought;
        // Looked at again when the share is nearly used: never more than a read past it.
        if (held_ - received >= Margin || held_ >= std::max(length_, MinFileCost))
            return true;
    }
    return budget_.Extend(*this, Want(received), budget_.space_(folder_));
}

qint64 TDiskBudget::TClaim::Want(qint64 received) const
{
    return std::max(std::min(length_, received + LookAhead), MinFileCost);
}

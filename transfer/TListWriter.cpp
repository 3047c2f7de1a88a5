#include "transfer/TListWriter.h"

#include "platform/errors/EError.h"
#include "transfer/TReceivedList.h"

TListWriter::TListWriter(QString path, std::function<void(const QString& reason)> failed)
    : path_(std::move(path)), failed_(std::move(failed)),
      worker_([this](std::stop_token stop) { Run(stop); })
{}

TListWriter::~TListWriter()
{
    Flush();
    worker_.request_stop();
    wake_.notify_all();
}

void TListWriter::Know(QStringList entries)
{
    Hand(TChange{true, std::move(entries), 0}, false);
}

void TListWriter::Save(QStringList entries)
{
    Hand(TChange{true, std::move(entries), 0}, true);
}

void TListWriter::Insert(int row, QString entry)
{
    Hand(TChange{false, QStringList{std::move(entry)}, row}, true);
}

void TListWriter::Hand(TChange change, bool write)
{
    {
        std::lock_guard lock(mutex_);
        // A whole list makes every change before it moot.
        if (change.whole)
            pending_.clear();
        pending_.push_back(std::move(change));
        unwritten_ = unwritten_ || write;
    }
    wake_.notify_one();
}

void TListWriter::Flush()
{
    std::unique_lock lock(mutex_);
    written_.wait(lock, [this] { return pending_.empty() && !writing_; });
}

int TListWriter::Writes() const
{
    std::lock_guard lock(mutex_);
    return writes_;
}

void TListWriter::Run(std::stop_token stop)
{
    std::unique_lock lock(mutex_);
    while (true) {
        if (!wake_.wait(lock, stop, [this] { return !pending_.empty(); }))
            return;
        std::vector<TChange> changes;
        changes.swap(pending_);
        const bool write = unwritten_;
        unwritten_ = false;
        writing_ = true;
        lock.unlock();
        for (TChange& change : changes) {
            if (change.whole)
                entries_ = std::move(change.entries);
            else
                entries_.insert(qBound(0, change.row, int(entries_.size())),
                                std::move(change.entries.front()));
        }
        QString failure;
        if (write) {
            try {
                TReceivedList::Save(path_, entries_);
            } catch (const EError& e) {
                failure = e.Message();
            }
        }
        if (!failure.isEmpty() && failed_)
            failed_(failure);
        lock.lock();
        writing_ = false;
        writes_ += write ? 1 : 0;
        written_.notify_all();
    }
}

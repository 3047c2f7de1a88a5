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

void TListWriter::Save(QStringList entries)
{
    {
        std::lock_guard lock(mutex_);
        pending_ = std::move(entries);
    }
    wake_.notify_one();
}

void TListWriter::Flush()
{
    std::unique_lock lock(mutex_);
    written_.wait(lock, [this] { return !pending_ && !writing_; });
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
        if (!wake_.wait(lock, stop, [this] { return pending_.has_value(); }))
            return;
        const QStringList entries = std::move(*pending_);
        pending_.reset();
        writing_ = true;
        lock.unlock();
        QString failure;
        try {
            TReceivedList::Save(path_, entries);
        } catch (const EError& e) {
            failure = e.Message();
        }
        if (!failure.isEmpty() && failed_)
            failed_(failure);
        lock.lock();
        writing_ = false;
        ++writes_;
        written_.notify_all();
    }
}

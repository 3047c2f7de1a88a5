#pragma once

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

// Writes the received-files list on a thread of its own, so that a long list never holds up
// the window: Save hands over the entries as they are now and returns at once; what is handed
// over while a write runs is written after it, and only the newest of those. Flush waits until
// everything handed over is on disk.
class TListWriter
{
public:
    // failed runs on the writer's thread with the reason a write failed.
    TListWriter(QString path, std::function<void(const QString& reason)> failed);
    ~TListWriter(); // writes what is still waiting
    TListWriter(const TListWriter&) = delete;
    TListWriter& operator=(const TListWriter&) = delete;

    void Save(QStringList entries);
    void Flush();
    // Whole writes done so far (for tests).
    int Writes() const;

private:
    void Run(std::stop_token stop);

    const QString path_;
    std::function<void(const QString&)> failed_;
    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    std::condition_variable_any written_;
    std::optional<QStringList> pending_;
    bool writing_ = false;
    int writes_ = 0;
    std::jthread worker_; // last: it starts once everything it uses exists
};

#pragma once

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Writes the received-files list on a thread of its own, so that a long list never holds up
// the window. It keeps its own copy of the list: Save hands over the whole list, Insert one new
// entry, and both return at once; an arrival costs the window the same however long the list
// is. Changes handed over while a write runs are written together after it. Flush waits until
// everything handed over is on disk.
class TListWriter
{
public:
    // failed runs on the writer's thread with the reason a write failed.
    TListWriter(QString path, std::function<void(const QString& reason)> failed);
    ~TListWriter(); // writes what is still waiting
    TListWriter(const TListWriter&) = delete;
    TListWriter& operator=(const TListWriter&) = delete;

    // The list as it is on disk now (as loaded): changes apply to it; nothing is written.
    void Know(QStringList entries);
    void Save(QStringList entries);
    // An entry put at row of the list as the changes before it left it.
    void Insert(int row, QString entry);
    void Flush();
    // Whole writes done so far (for tests).
    int Writes() const;

private:
    struct TChange
    {
        bool whole = false;
        QStringList entries; // whole: the list; otherwise the one new entry
        int row = 0;
    };
    void Hand(TChange change, bool write);
    void Run(std::stop_token stop);

    const QString path_;
    std::function<void(const QString&)> failed_;
    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    std::condition_variable_any written_;
    std::vector<TChange> pending_;
    bool unwritten_ = false; // a change waits that must reach the disk
    bool writing_ = false;
    int writes_ = 0;
    QStringList entries_; // the writer's copy; its thread's alone
    std::jthread worker_; // last: it starts once everything it uses exists
};

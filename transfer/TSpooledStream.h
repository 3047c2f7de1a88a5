#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <memory>

class QTemporaryFile;

// A readable, writable, seekable body that stays in memory up to MemoryLimit bytes and moves
// to a temporary file in the spool folder once a write would take it past that, so memory
// never follows what a peer announces. It is open (read and write) from birth. The temporary
// file goes with the stream unless MoveTo put it in place.
class TSpooledStream : public QIODevice
{
    Q_OBJECT
public:
    static constexpr qint64 MemoryLimit = 1 << 20;

    explicit TSpooledStream(QString spoolFolder, QObject* parent = nullptr);
    ~TSpooledStream() override;

    bool isSequential() const override { return false; }
    qint64 size() const override;
    bool seek(qint64 pos) override;

    // Whether the bytes live in a file rather than in memory.
    bool IsSpooled() const;
    // The file that holds the bytes (where MoveTo put it, after a move); empty in memory.
    QString FileName() const;
    // Puts the bytes at path, replacing a file there: a spooled body's file is renamed (never
    // copied, so path must be on the spool folder's file system), a body in memory is written
    // atomically. The stream stays readable; a moved file is no longer removed.
    bool MoveTo(const QString& path);

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    // Moves what is in memory into a new temporary file.
    bool Spool();
    bool SyncFile();

    QString folder_;
    QByteArray memory_;
    std::unique_ptr<QTemporaryFile> file_;
    QString fileName_;
};

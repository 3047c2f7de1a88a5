#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <memory>
#include <optional>

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
    // Moves the bytes to the spool file now and gives its descriptor, for a writer that puts
    // bytes there itself (at offsets from 0); -1, with the error set, when no file can be made.
    // Such a writer ends with seek() to where it stopped.
    int SpoolHandle();
    // The file that holds the bytes (where MoveTo put it, after a move); empty in memory.
    QString FileName() const;
    // Puts the bytes at path, replacing whatever entry is there in one rename, so the old file
    // stays whole until then and a symbolic link there is replaced, never followed. A spooled
    // body's file is renamed; when path is on another file system it is copied to a new file
    // in path's folder, renamed over path, and the spool file goes. A body in memory is
    // written to such a new file and flushed to disk first. New files are named like spool
    // files and are the user's alone (mode 0600). On failure nothing changes at path and no
    // new file is left. The stream stays readable; a moved file is no longer removed.
    bool MoveTo(const QString& path);
    // Puts the bytes under path's name or, when an entry of that name exists, under the first
    // free "name (1).ext", "name (2).ext", ...; nothing that exists is ever replaced, and the
    // name is taken in one step (no other writer can take it in between). Gives the path used,
    // or nothing (the error set) when no name could be taken. Otherwise as MoveTo.
    std::optional<QString> MoveToFree(const QString& path);
    // The names MoveToFree tries after path itself: "name (n).ext", kept within 255 bytes.
    static QString NumberedName(const QString& path, int n);

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    // Moves what is in memory into a new temporary file.
    bool Spool();
    bool SyncFile();
    // A new, empty file in path's folder, or nothing with the error set.
    std::unique_ptr<QTemporaryFile> NewFileBeside(const QString& path);
    // Flushes file to disk and renames it over path, or with fresh set to the first free name
    // from path on; it is then no longer removed. The name used, or nothing.
    std::optional<QString> Commit(QTemporaryFile& file, const QString& path, bool fresh);
    // Copies the spool file to path (another file system) and reads on from the copy.
    std::optional<QString> CopyTo(const QString& path, bool fresh);
    std::optional<QString> Move(const QString& path, bool fresh);
    // Renames from to path, or to the first free name from path on; errno set on failure.
    static std::optional<QString> RenameFree(const QString& from, const QString& path);

    QString folder_;
    QByteArray memory_;
    std::unique_ptr<QTemporaryFile> file_;
    QString fileName_;
};

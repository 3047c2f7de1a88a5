#include "transfer/TSpooledStream.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr QLatin1String SpoolTemplate("parlavue-XXXXXX.spool");
constexpr qint64 CopyBlock = 1 << 20;

QString ErrnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

TSpooledStream::TSpooledStream(QString spoolFolder, QObject* parent)
    : QIODevice(parent), folder_(std::move(spoolFolder))
{
    // Unbuffered: QIODevice's own read-ahead would only copy the bytes once more.
    QIODevice::open(QIODevice::ReadWrite | QIODevice::Unbuffered);
}

TSpooledStream::~TSpooledStream() = default;

qint64 TSpooledStream::size() const
{
    return file_ ? file_->size() : memory_.size();
}

bool TSpooledStream::seek(qint64 pos)
{
    return QIODevice::seek(pos) && SyncFile();
}

bool TSpooledStream::IsSpooled() const
{
    return file_ != nullptr;
}

int TSpooledStream::SpoolHandle()
{
    if (!file_ && !Spool())
        return -1;
    // Nothing of ours may wait in the file's buffer while another writer goes by the descriptor.
    if (!file_->flush()) {
        setErrorString(file_->errorString());
        return -1;
    }
    return file_->handle();
}

QString TSpooledStream::FileName() const
{
    return fileName_;
}

bool TSpooledStream::SyncFile()
{
    if (!file_ || file_->pos() == pos())
        return true;
    if (file_->seek(pos()))
        return true;
    setErrorString(file_->errorString());
    return false;
}

qint64 TSpooledStream::readData(char* data, qint64 maxSize)
{
    if (file_) {
        if (!SyncFile())
            return -1;
        return file_->read(data, maxSize);
    }
    const qint64 n = qBound<qint64>(0, memory_.size() - pos(), maxSize);
    if (n > 0)
        std::memcpy(data, memory_.constData() + pos(), size_t(n));
    return n;
}

qint64 TSpooledStream::writeData(const char* data, qint64 size)
{
    if (!file_ && pos() + size > MemoryLimit && !Spool())
        return -1;
    if (file_) {
        if (!SyncFile())
            return -1;
        const qint64 n = file_->write(data, size);
        if (n < 0)
            setErrorString(file_->errorString());
        return n;
    }
    if (pos() == memory_.size()) {
        memory_.append(data, size); // appending grows the buffer geometrically
        return size;
    }
    const qint64 end = pos() + size;
    if (end > memory_.size())
        memory_.resize(end, '\0'); // a gap after a seek past the end reads as zeros
    std::memcpy(memory_.data() + pos(), data, size_t(size));
    return size;
}

bool TSpooledStream::Spool()
{
    auto file = std::make_unique<QTemporaryFile>(QDir(folder_).filePath(SpoolTemplate));
    if (!file->open()) {
        setErrorString(
            QStringLiteral("cannot make a spool file in %1: %2").arg(folder_, file->errorString()));
        return false;
    }
    // Asking for the name gives the file one (it may have been made without a directory entry).
    const QString name = file->fileName();
    if (!memory_.isEmpty() && file->write(memory_) != memory_.size()) {
        setErrorString(file->errorString());
        return false;
    }
    memory_ = QByteArray();
    file_ = std::move(file);
    fileName_ = name;
    return true;
}

bool TSpooledStream::MoveTo(const QString& path)
{
    return Move(path, false).has_value();
}

std::optional<QString> TSpooledStream::MoveToFree(const QString& path)
{
    return Move(path, true);
}

QString TSpooledStream::NumberedName(const QString& path, int n)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    // "archive.tar.gz" becomes "archive.tar (1).gz"; a name without a dot gets the number last.
    const qsizetype dot = name.lastIndexOf(u'.');
    QString base = dot > 0 ? name.left(dot) : name;
    const QString suffix = dot > 0 ? name.mid(dot) : QString();
    const QString number = QStringLiteral(" (%1)").arg(n);
    // Shortened, never inside a character, until the whole name fits a file name.
    while (!base.isEmpty() && (base + number + suffix).toUtf8().size() > 255)
        base.chop(base.size() >= 2 && base.at(base.size() - 1).isLowSurrogate() ? 2 : 1);
    return info.dir().filePath(base + number + suffix);
}

std::optional<QString> TSpooledStream::RenameFree(const QString& from, const QString& path)
{
    const QByteArray source = QFile::encodeName(from);
    constexpr int MaxTries = 10000;
    for (int n = 0; n < MaxTries; ++n) {
        const QString candidate = n == 0 ? path : NumberedName(path, n);
        const QByteArray target = QFile::encodeName(candidate);
        if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(),
                        RENAME_NOREPLACE) == 0)
            return candidate;
        if (errno == EINVAL || errno == ENOSYS) {
            // A file system without the flag: a hard link is just as exclusive.
            if (::link(source.constData(), target.constData()) == 0) {
                ::unlink(source.constData());
                return candidate;
            }
        }
        if (errno != EEXIST)
            return std::nullopt;
    }
    errno = EEXIST;
    return std::nullopt;
}

std::optional<QString> TSpooledStream::Move(const QString& path, bool fresh)
{
    if (!file_) {
        const std::unique_ptr<QTemporaryFile> file = NewFileBeside(path);
        if (!file)
            return std::nullopt;
        if (file->write(memory_) != memory_.size()) {
            setErrorString(file->errorString());
            return std::nullopt;
        }
        return Commit(*file, path, fresh);
    }
    if (!file_->flush()) {
        setErrorString(file_->errorString());
        return std::nullopt;
    }
    // The file stays open under its new name, so the stream reads on from it.
    std::optional<QString> placed;
    if (fresh) {
        placed = RenameFree(fileName_, path);
    } else if (std::rename(QFile::encodeName(fileName_).constData(),
                           QFile::encodeName(path).constData()) == 0) {
        placed = path;
    }
    if (!placed) {
        // The receive folder may have been changed to another disk while the body came in.
        if (errno == EXDEV)
            return CopyTo(path, fresh);
        setErrorString(ErrnoText());
        return std::nullopt;
    }
    file_->setAutoRemove(false);
    fileName_ = *placed;
    return placed;
}

std::unique_ptr<QTemporaryFile> TSpooledStream::NewFileBeside(const QString& path)
{
    // Named like a spool file, so that no received name can be this file while it is written.
    const QString folder = QFileInfo(path).absolutePath();
    auto file = std::make_unique<QTemporaryFile>(QDir(folder).filePath(SpoolTemplate));
    // open() creates the file exclusively; asking for the name links it if it was made without.
    if (!file->open() || file->fileName().isEmpty()) {
        setErrorString(
            QStringLiteral("cannot make a file in %1: %2").arg(folder, file->errorString()));
        return nullptr;
    }
    return file;
}

std::optional<QString> TSpooledStream::Commit(QTemporaryFile& file, const QString& path, bool fresh)
{
    if (!file.flush()) {
        setErrorString(file.errorString());
        return std::nullopt;
    }
    // On disk before the rename, so that a crash leaves the old file or the whole new one.
    if (::fsync(file.handle()) != 0) {
        setErrorString(ErrnoText());
        return std::nullopt;
    }
    std::optional<QString> placed;
    if (fresh)
        placed = RenameFree(file.fileName(), path);
    else if (std::rename(QFile::encodeName(file.fileName()).constData(),
                         QFile::encodeName(path).constData()) == 0)
        placed = path;
    if (!placed) {
        setErrorString(QStringLiteral("cannot put the file at %1: %2").arg(path, ErrnoText()));
        return std::nullopt;
    }
    file.setAutoRemove(false);
    return placed;
}

std::optional<QString> TSpooledStream::CopyTo(const QString& path, bool fresh)
{
    std::unique_ptr<QTemporaryFile> copy = NewFileBeside(path);
    if (!copy)
        return std::nullopt;
    // SyncFile puts the spool file back at the stream's position before the next read.
    if (!file_->seek(0)) {
        setErrorString(file_->errorString());
        return std::nullopt;
    }
    QByteArray block(CopyBlock, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file_->read(block.data(), block.size());
        if (n < 0) {
            setErrorString(file_->errorString());
            return std::nullopt;
        }
        if (n == 0)
            break;
        if (copy->write(block.constData(), n) != n) {
            setErrorString(copy->errorString());
            return std::nullopt;
        }
    }
    const std::optional<QString> placed = Commit(*copy, path, fresh);
    if (!placed)
        return std::nullopt;
    file_ = std::move(copy); // the spool file goes with its old owner
    fileName_ = *placed;
    return placed;
}

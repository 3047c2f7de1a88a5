#include "transfer/TSpooledStream.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

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
    if (!file_) {
        const std::unique_ptr<QTemporaryFile> file = NewFileBeside(path);
        if (!file)
            return false;
        if (file->write(memory_) != memory_.size()) {
            setErrorString(file->errorString());
            return false;
        }
        return Commit(*file, path);
    }
    if (!file_->flush()) {
        setErrorString(file_->errorString());
        return false;
    }
    // The file stays open under its new name, so the stream reads on from it.
    if (std::rename(QFile::encodeName(fileName_).constData(),
                    QFile::encodeName(path).constData()) != 0) {
        // The receive folder may have been changed to another disk while the body came in.
        if (errno == EXDEV)
            return CopyTo(path);
        setErrorString(ErrnoText());
        return false;
    }
    file_->setAutoRemove(false);
    fileName_ = path;
    return true;
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

bool TSpooledStream::Commit(QTemporaryFile& file, const QString& path)
{
    if (!file.flush()) {
        setErrorString(file.errorString());
        return false;
    }
    // On disk before the rename, so that a crash leaves the old file or the whole new one.
    if (::fsync(file.handle()) != 0) {
        setErrorString(ErrnoText());
        return false;
    }
    if (std::rename(QFile::encodeName(file.fileName()).constData(),
                    QFile::encodeName(path).constData()) != 0) {
        setErrorString(QStringLiteral("cannot put the file at %1: %2").arg(path, ErrnoText()));
        return false;
    }
    file.setAutoRemove(false);
    return true;
}

bool TSpooledStream::CopyTo(const QString& path)
{
    std::unique_ptr<QTemporaryFile> copy = NewFileBeside(path);
    if (!copy)
        return false;
    // SyncFile puts the spool file back at the stream's position before the next read.
    if (!file_->seek(0)) {
        setErrorString(file_->errorString());
        return false;
    }
    QByteArray block(CopyBlock, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file_->read(block.data(), block.size());
        if (n < 0) {
            setErrorString(file_->errorString());
            return false;
        }
        if (n == 0)
            break;
        if (copy->write(block.constData(), n) != n) {
            setErrorString(copy->errorString());
            return false;
        }
    }
    if (!Commit(*copy, path))
        return false;
    file_ = std::move(copy); // the spool file goes with its old owner
    fileName_ = path;
    return true;
}

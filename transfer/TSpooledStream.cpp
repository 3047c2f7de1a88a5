#include "transfer/TSpooledStream.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

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
    auto file = std::make_unique<QTemporaryFile>(
        QDir(folder_).filePath(QStringLiteral("parlavue-XXXXXX.spool")));
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
        QSaveFile target(path);
        if (!target.open(QIODevice::WriteOnly) || target.write(memory_) != memory_.size() ||
            !target.commit()) {
            setErrorString(target.errorString());
            return false;
        }
        return true;
    }
    if (!file_->flush()) {
        setErrorString(file_->errorString());
        return false;
    }
    // The file stays open under its new name, so the stream reads on from it.
    if (std::rename(QFile::encodeName(fileName_).constData(),
                    QFile::encodeName(path).constData()) != 0) {
        setErrorString(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    file_->setAutoRemove(false);
    fileName_ = path;
    return true;
}

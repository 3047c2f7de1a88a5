#include "platform/ini/TLineFile.h"

#include "platform/errors/EError.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>

QStringList TLineFile::Parse(const QByteArray& bytes)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        lines << QString::fromUtf8(bytes.mid(start, i - start));
        if (bytes[i] == '\r' && i + 1 < n && bytes[i + 1] == '\n')
            ++i; // CR LF is one line end
        start = i + 1;
    }
    if (start < n) // a last line without its line end
        lines << QString::fromUtf8(bytes.mid(start));
    return lines;
}

std::optional<QStringList> TLineFile::Load(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly))
        throw EError(QCoreApplication::translate("TLineFile", "Cannot open %1: %2")
                         .arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EError(QCoreApplication::translate("TLineFile", "Cannot read %1: %2")
                         .arg(path, file.errorString()));
    return Parse(bytes);
}

void TLineFile::Save(const QString& path, const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toUtf8() + "\r\n";
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw EError(QCoreApplication::translate("TLineFile", "Cannot write %1: %2")
                         .arg(path, file.errorString()));
    // A write cut short (a full disk, a file size limit) can pass without an error, so the
    // bytes that reached the file are counted before it may replace the old one; an
    // uncommitted file is thrown away.
    file.write(bytes);
    if (!file.flush() || file.size() != bytes.size())
        throw EError(QCoreApplication::translate("TLineFile",
                                                 "Cannot write %1: it could not be written whole")
                         .arg(path));
    if (!file.commit())
        throw EError(QCoreApplication::translate("TLineFile", "Cannot write %1: %2")
                         .arg(path, file.errorString()));
}

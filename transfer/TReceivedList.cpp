#include "transfer/TReceivedList.h"

#include "platform/errors/EError.h"
#include "platform/paths/TProgramFolder.h"

#include <QFile>
#include <QSaveFile>

const QString TReceivedList::FileName = QStringLiteral("FilesReceived.lst");

QString TReceivedList::Location()
{
    return TProgramFolder::File(FileName);
}

QStringList TReceivedList::Parse(const QByteArray& bytes)
{
    QStringList entries;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        entries << QString::fromUtf8(bytes.mid(start, i - start));
        if (bytes[i] == '\r' && i + 1 < n && bytes[i + 1] == '\n')
            ++i; // CR LF is one line end
        start = i + 1;
    }
    if (start < n) // a last line without its line end
        entries << QString::fromUtf8(bytes.mid(start));
    return entries;
}

QStringList TReceivedList::Load(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        throw EError(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EError(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
    return Parse(bytes);
}

void TReceivedList::Save(const QString& path, const QStringList& entries)
{
    QByteArray bytes;
    for (const QString& entry : entries)
        bytes += entry.toUtf8() + "\r\n";
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw EError(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
}

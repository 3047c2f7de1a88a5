#include "transfer/TReceivedList.h"

#include "platform/ini/TLineFile.h"
#include "platform/paths/TProgramFolder.h"

const QString TReceivedList::FileName = QStringLiteral("FilesReceived.lst");

QString TReceivedList::Location()
{
    return TProgramFolder::File(FileName);
}

QStringList TReceivedList::Parse(const QByteArray& bytes)
{
    return TLineFile::Parse(bytes);
}

QStringList TReceivedList::Load(const QString& path)
{
    return TLineFile::Load(path).value_or(QStringList());
}

void TReceivedList::Save(const QString& path, const QStringList& entries)
{
    TLineFile::Save(path, entries);
}

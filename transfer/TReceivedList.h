#pragma once

#include <QString>
#include <QStringList>

// "FilesReceived.lst": one full path per line, each line ending CR LF, oldest receipt first.
// Any line end is read; empty lines are empty entries.
class TReceivedList
{
public:
    static const QString FileName;

    // The file beside the executable.
    static QString Location();

    // The entries of the file; none when it does not exist. Throws EError with the file
    // system's reason when it exists but cannot be read.
    static QStringList Load(const QString& path);
    // Writes the file whole and atomically: a failed write leaves the previous file. Throws
    // EError with the reason.
    static void Save(const QString& path, const QStringList& entries);

    // The text of a file's bytes as entries (what Load does after reading).
    static QStringList Parse(const QByteArray& bytes);
};

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// A text file of lines, as the program's lists keep them: any of CR LF, LF or CR ends a line
// on reading, an empty line is an empty entry, and every line written ends CR LF.
class TLineFile
{
public:
    // The lines of a file's bytes.
    static QStringList Parse(const QByteArray& bytes);
    // The lines of the file, or nothing when there is no such file. Throws EError with the
    // file system's reason when it exists but cannot be read.
    static std::optional<QStringList> Load(const QString& path);
    // Writes the file whole and atomically, so a failure (a full disk, a folder that cannot
    // be written) leaves the previous file as it was. Throws EError with the reason.
    static void Save(const QString& path, const QStringList& lines);
};

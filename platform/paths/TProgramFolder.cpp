#include "platform/paths/TProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <unistd.h>

namespace {
QString& Override()
{
    static QString folder;
    return folder;
}

struct TDecision
{
    QString folder;
    bool installed = false;
};

const TDecision& Decision()
{
    static const TDecision decision = [] {
        const QString exe = QCoreApplication::applicationDirPath();
        // access() also tells a read-only file system apart, for root as well.
        const bool writable = ::access(QFile::encodeName(exe).constData(), W_OK) == 0;
        return TDecision{TProgramFolder::Choose(exe, writable), !writable};
    }();
    return decision;
}
} // namespace

QString TProgramFolder::Choose(const QString& exeFolder, bool writable, const QString& configHome)
{
    if (writable)
        return exeFolder;
    const QString home =
        configHome.isEmpty()
            ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
            : configHome;
    const QString folder = home + QStringLiteral("/parlavue");
    // Without a home to write to, the files stay where they were looked for before.
    if (home.isEmpty() || !QDir().mkpath(folder))
        return exeFolder;
    return folder;
}

QString TProgramFolder::Path()
{
    return Override().isEmpty() ? Decision().folder : Override();
}

QString TProgramFolder::File(const QString& fileName)
{
    return Path() + QLatin1Char('/') + fileName;
}

bool TProgramFolder::IsInstalled()
{
    return Override().isEmpty() && Decision().installed;
}

void TProgramFolder::OverrideForTesting(const QString& folder)
{
    Override() = folder;
}

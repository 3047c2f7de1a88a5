#include "platform/paths/TProgramFolder.h"

#include <QCoreApplication>

namespace {
QString& Override()
{
    static QString folder;
    return folder;
}
} // namespace

QString TProgramFolder::Path()
{
    return Override().isEmpty() ? QCoreApplication::applicationDirPath() : Override();
}

QString TProgramFolder::File(const QString& fileName)
{
    return Path() + QLatin1Char('/') + fileName;
}

void TProgramFolder::OverrideForTesting(const QString& folder)
{
    Override() = folder;
}

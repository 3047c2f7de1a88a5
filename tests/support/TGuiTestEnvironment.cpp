#include "tests/support/TGuiTestEnvironment.h"

#include "platform/paths/TProgramFolder.h"

#include <QFile>

TGuiTestEnvironment::TGuiTestEnvironment() : savedConfigHome_(qgetenv("XDG_CONFIG_HOME"))
{
    TProgramFolder::OverrideForTesting(programFolder_.path());
    qputenv("XDG_CONFIG_HOME", configHome_.path().toUtf8());
}

TGuiTestEnvironment::~TGuiTestEnvironment()
{
    TProgramFolder::OverrideForTesting(QString());
    if (savedConfigHome_.isEmpty())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", savedConfigHome_);
}

QString TGuiTestEnvironment::ProgramFile(const QString& name) const
{
    return programFolder_.filePath(name);
}

QString TGuiTestEnvironment::ConfigFolder() const
{
    return configHome_.path();
}

void TGuiTestEnvironment::WriteProgramFile(const QString& name, const QByteArray& bytes) const
{
    QFile f(ProgramFile(name));
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

QByteArray TGuiTestEnvironment::ReadProgramFile(const QString& name) const
{
    QFile f(ProgramFile(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

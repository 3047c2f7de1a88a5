#pragma once

#include "tests/runner/TTestRunner.h"

#include <QString>
#include <QTemporaryDir>

// A program folder and a per-user config folder of the test's own, so window tests never touch
// the real "Settings.ini" or placement file.
class TGuiTestEnvironment
{
public:
    TGuiTestEnvironment();
    ~TGuiTestEnvironment();

    QString ProgramFile(const QString& name) const;
    QString ConfigFolder() const;
    void WriteProgramFile(const QString& name, const QByteArray& bytes) const;
    QByteArray ReadProgramFile(const QString& name) const;

private:
    QTemporaryDir programFolder_;
    QTemporaryDir configHome_;
    QByteArray savedConfigHome_;
};

// Runs a QtTest object under the program's own application class.
#define PARLAVUE_GUI_TEST_MAIN(TestObject)                                                         \
    PARLAVUE_TEST_ENTRY([](int argc, char** argv) {                                                \
        TApplication app(argc, argv);                                                              \
        QCoreApplication::setApplicationName(QStringLiteral("parlavue"));                          \
        TestObject test;                                                                           \
        return QTest::qExec(&test, argc, argv);                                                    \
    });

#pragma once

#include <QString>
#include <QStringList>

// What the program was asked on its command line. Besides its own options it accepts the
// options Qt's windowing takes (-platform, -display, ...), which Qt reads itself.
struct TCommandLine
{
    enum class TAction
    {
        Run,
        ShowHelp,    // print Text to standard output, exit 0
        ShowVersion, // the same
        Fail,        // print Text to standard error, exit 2
    };

    TAction action = TAction::Run;
    bool testCamera = false;
    QString text;

    static constexpr int UsageExitCode = 2;

    // arguments as main() received them, the program's name first.
    static TCommandLine Parse(const QStringList& arguments, const QString& version);
};

#include "app/TCommandLine.h"

#include <QCommandLineParser>

namespace {
// Qt's own options: Qt reads them, the program only lets them through.
const QStringList QtValueOptions{
    QStringLiteral("platform"),
    QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"),
    QStringLiteral("plugin"),
    QStringLiteral("qwindowgeometry"),
    QStringLiteral("qwindowicon"),
    QStringLiteral("qwindowtitle"),
    QStringLiteral("display"),
    QStringLiteral("geometry"),
    QStringLiteral("style"),
    QStringLiteral("stylesheet"),
    QStringLiteral("session"),
    QStringLiteral("name"),
    QStringLiteral("title"),
    QStringLiteral("visual"),
    QStringLiteral("dialogs"),
};
const QStringList QtFlagOptions{QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                QStringLiteral("sync"), QStringLiteral("nograb"),
                                QStringLiteral("dograb")};
} // namespace

TCommandLine TCommandLine::Parse(const QStringList& arguments, const QString& version)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Parlavue Video Phone: calls another copy of Parlavue on the local "
                       "network with video, voice, files and messages."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption testCamera(
        QStringLiteral("test-camera"),
        QStringLiteral("Adds the cameras \"Test Pattern\" and \"Test Pattern DV\" (a moving "
                       "picture, and the same with a tone as a DV camcorder sends it) for "
                       "machines without a camera."));
    parser.addOption(testCamera);
    for (const QString& name : QtValueOptions) {
        QCommandLineOption option(name, QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const QString& name : QtFlagOptions) {
        QCommandLineOption option(name);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }

    TCommandLine result;
    // The first line names the program as it is installed, whatever it was started as (no
    // application object exists yet to name it).
    QString usage = parser.helpText();
    usage = QStringLiteral("Usage: parlavue [options]\n") + usage.section(QLatin1Char('\n'), 1);
    if (!parser.parse(arguments)) {
        result.action = TAction::Fail;
        result.text = parser.errorText() + QStringLiteral("\n\n") + usage;
        return result;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        result.action = TAction::ShowHelp;
        result.text = usage;
    } else if (parser.isSet(versionOption)) {
        result.action = TAction::ShowVersion;
        result.text = QStringLiteral("parlavue ") + version + QLatin1Char('\n');
    }
    result.testCamera = parser.isSet(testCamera);
    return result;
}

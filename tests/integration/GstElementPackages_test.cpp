// Every GStreamer element the program and its tests create is listed, and the package that
// ships it is installed by scripts/install-deps.sh, by name or as a dependency of one named
// there. A new machine otherwise lacks it while CI, on a machine that happens to have it, stays
// green.
#include "platform/elements/TGstElements.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

// Given by the build: with ccache, __FILE__ names the source relative to the build folder.
QDir SourceRoot()
{
    return QDir(QStringLiteral(PARLAVUE_SOURCE_DIR));
}

QString Run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The packages named in the script's package list, comments left out.
QStringList NamedPackages()
{
    QFile script(SourceRoot().filePath(QStringLiteral("scripts/install-deps.sh")));
    if (!script.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(script.readAll());
    const QRegularExpressionMatch block =
        QRegularExpression(QStringLiteral("^packages=\\((.*?)^\\)"),
                           QRegularExpression::MultilineOption |
                               QRegularExpression::DotMatchesEverythingOption)
            .match(text);
    QStringList names;
    for (QString line : block.captured(1).split(QLatin1Char('\n'))) {
        line = line.section(QLatin1Char('#'), 0, 0);
        names += line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    }
    return names;
}

// Every installed package that installing the named ones brings along (Depends and
// Pre-Depends; recommendations are not installed by the script). Virtual packages count for
// each installed package that provides them.
QSet<QString> InstalledClosure(const QStringList& roots)
{
    const QString table =
        Run(QStringLiteral("dpkg-query"),
            {QStringLiteral("-W"), QStringLiteral("-f=${Package}\t${Status}\t${Depends}, "
                                                  "${Pre-Depends}\t${Provides}\n")});
    QMap<QString, QStringList> depends;
    QMap<QString, QStringList> providers;
    const QRegularExpression version(QStringLiteral("\\([^)]*\\)|:\\w+"));
    for (const QString& row : table.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList f = row.split(QLatin1Char('\t'));
        if (f.size() < 4 || !f[1].endsWith(QLatin1String("installed")) ||
            f[1].contains(QLatin1String("not-installed")))
            continue;
        QStringList deps;
        for (const QString& clause : QString(f[2]).remove(version).split(
                 QRegularExpression(QStringLiteral("[,|]")), Qt::SkipEmptyParts))
            if (!clause.trimmed().isEmpty())
                deps << clause.trimmed();
        depends[f[0]] = deps;
        for (const QString& p :
             QString(f[3]).remove(version).split(QLatin1Char(','), Qt::SkipEmptyParts))
            providers[p.trimmed()] << f[0];
    }
    QSet<QString> seen;
    QStringList queue = roots;
    while (!queue.isEmpty()) {
        const QString p = queue.takeFirst();
        if (seen.contains(p))
            continue;
        seen.insert(p);
        if (depends.contains(p))
            queue += depends[p];
        queue += providers.value(p);
    }
    return seen;
}

// The Debian package that ships the element's plugin, as gst-inspect-1.0 and dpkg tell.
QString ShippingPackage(const char* element, QString& plugin)
{
    const QString info = Run(QStringLiteral("gst-inspect-1.0"), {QString::fromLatin1(element)});
    const QRegularExpressionMatch file =
        QRegularExpression(QStringLiteral("^\\s+Filename\\s+(\\S+)"),
                           QRegularExpression::MultilineOption)
            .match(info);
    if (!file.hasMatch())
        return {};
    plugin = QFileInfo(file.captured(1)).canonicalFilePath();
    const QString owner = Run(QStringLiteral("dpkg"), {QStringLiteral("-S"), plugin});
    return owner.section(QLatin1Char(':'), 0, 0).trimmed();
}

class GstElementPackages : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* tool : {"gst-inspect-1.0", "dpkg", "dpkg-query"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                GTEST_SKIP() << tool << " is not installed";
    }
};

TEST_F(GstElementPackages, EveryListedElementComesFromAPackageTheInstallScriptInstalls)
{
    const QStringList named = NamedPackages();
    ASSERT_TRUE(named.contains(QStringLiteral("gstreamer1.0-plugins-good"))) << "script not read";
    const QSet<QString> installed = InstalledClosure(named);
    for (const TGstElement& e : GstElements()) {
        QString plugin;
        const QString package = ShippingPackage(e.name, plugin);
        ASSERT_FALSE(package.isEmpty()) << e.name << ": no such element here, or its plugin "
                                        << plugin.toStdString() << " belongs to no package";
        EXPECT_EQ(package.toStdString(), e.package) << e.name << " is listed with another package";
        EXPECT_TRUE(installed.contains(package))
            << e.name << " comes from " << package.toStdString()
            << ", which scripts/install-deps.sh neither names nor installs with another package";
    }
}

// Every element the code makes by name is on the list, so the start-up check and the test
// above know of it.
TEST_F(GstElementPackages, EveryElementMadeByNameIsListed)
{
    const QRegularExpression made(
        QStringLiteral("(?:\\bMake|addElement\\(\\s*\\w+\\s*,|gst_element_factory_make\\()\\s*"
                       "\"([a-z0-9_]+)\""));
    const QRegularExpression checked(QStringLiteral("HaveFactories\\(\\{([^}]*)\\}"));
    const QDir root = SourceRoot();
    int files = 0;
    for (const char* folder : {"app", "capture", "platform", "voice", "tests", "bench"}) {
        QDirIterator it(root.filePath(QString::fromLatin1(folder)),
                        {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            ++files;
            const QString code = QString::fromUtf8(f.readAll());
            QStringList names;
            for (auto m = made.globalMatch(code); m.hasNext();)
                names << m.next().captured(1);
            for (auto m = checked.globalMatch(code); m.hasNext();)
                for (const QString& quoted : m.next().captured(1).split(QLatin1Char(',')))
                    names << quoted.trimmed().remove(QLatin1Char('"'));
            for (const QString& name : names)
                EXPECT_NE(FindGstElement(name), nullptr)
                    << name.toStdString() << " (made in " << it.filePath().toStdString()
                    << ") is not in platform/elements/TGstElements.cpp";
        }
    }
    EXPECT_GT(files, 50);
}

} // namespace

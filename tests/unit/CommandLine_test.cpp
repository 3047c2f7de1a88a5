#include "app/TCommandLine.h"

#include <gtest/gtest.h>

namespace {
using TAction = TCommandLine::TAction;

TCommandLine Parse(const QStringList& options)
{
    return TCommandLine::Parse(QStringList{"parlavue"} + options, "1.2");
}

TEST(CommandLine, OwnOptions)
{
    EXPECT_EQ(Parse({}).action, TAction::Run);
    EXPECT_FALSE(Parse({}).testCamera);
    const TCommandLine test = Parse({"--test-camera"});
    EXPECT_EQ(test.action, TAction::Run);
    EXPECT_TRUE(test.testCamera);
    EXPECT_EQ(Parse({"--version"}).text, "parlavue 1.2\n");
    EXPECT_EQ(Parse({"-v"}).action, TAction::ShowVersion);
    for (const char* help : {"--help", "-h", "--help-all"}) {
        const TCommandLine shown = Parse({help});
        EXPECT_EQ(shown.action, TAction::ShowHelp) << help;
        EXPECT_TRUE(shown.text.startsWith("Usage: parlavue [options]")) << shown.text.toStdString();
        EXPECT_TRUE(shown.text.contains("--test-camera")) << "every option is described";
        EXPECT_FALSE(shown.text.contains("platform")) << "Qt's own options stay out of it";
    }
}

TEST(CommandLine, UnknownOptionsFailWithTheUsage)
{
    for (const QStringList& bad : {QStringList{"--bogus"}, QStringList{"-x"},
                                   QStringList{"--test-camera=yes"}, QStringList{"--platform"}}) {
        const TCommandLine failed = Parse(bad);
        EXPECT_EQ(failed.action, TAction::Fail) << bad.join(' ').toStdString();
        EXPECT_TRUE(failed.text.contains("Usage: parlavue")) << failed.text.toStdString();
    }
    EXPECT_TRUE(Parse({"--bogus"}).text.startsWith("Unknown option 'bogus'."));
    EXPECT_EQ(TCommandLine::UsageExitCode, 2);
}

TEST(CommandLine, QtsOwnOptionsPassAndNothingElseIsRead)
{
    const TCommandLine qt = Parse({"-platform", "offscreen", "--test-camera", "-reverse"});
    EXPECT_EQ(qt.action, TAction::Run);
    EXPECT_TRUE(qt.testCamera);
    EXPECT_EQ(Parse({"-display", ":1", "-style", "Fusion"}).action, TAction::Run);
    // Words that are not options are not read (a launcher may pass some).
    EXPECT_EQ(Parse({"somefile"}).action, TAction::Run);
}
} // namespace

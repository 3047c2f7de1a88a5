#include "platform/paths/TProgramFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ProgramFolder, AWritableFolderKeepsTheFilesBesideTheProgram)
{
    QTemporaryDir home;
    EXPECT_EQ(TProgramFolder::Choose("/opt/parlavue", true, home.path()), "/opt/parlavue");
    EXPECT_FALSE(QFileInfo::exists(home.filePath("parlavue"))) << "nothing is made in the home";
}

TEST(ProgramFolder, AnInstalledCopyUsesTheConfigFolderAndMakesIt)
{
    QTemporaryDir home;
    const QString chosen = TProgramFolder::Choose("/usr/bin", false, home.filePath("config"));
    EXPECT_EQ(chosen, home.filePath("config/parlavue"));
    EXPECT_TRUE(QFileInfo(chosen).isDir());
    // Asked again (the folder is there now): the same answer.
    EXPECT_EQ(TProgramFolder::Choose("/usr/bin", false, home.filePath("config")), chosen);
}

TEST(ProgramFolder, AConfigFolderThatCannotBeMadeLeavesTheProgramsFolder)
{
    QTemporaryDir home;
    QFile blocker(home.filePath("config"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder would go
    blocker.close();
    EXPECT_EQ(TProgramFolder::Choose("/usr/bin", false, home.filePath("config")), "/usr/bin");
}

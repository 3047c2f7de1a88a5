#include "platform/ini/EIniFileException.h"
#include "platform/ini/TIniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

class IniFileTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Settings.ini"));

    void Put(const QByteArray& bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray Get() const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(IniFileTest, MissingFileSectionOrKeyGiveDefaultsAndCreateNothing)
{
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("Settings", "RingTone", "def"), "def");
    EXPECT_EQ(ini.ReadInteger("Settings", "micVolume", 85), 85);
    EXPECT_FALSE(QFile::exists(path));

    Put("[Other]\r\nRingTone=x\r\n[Settings]\r\nMessage=hi\r\n");
    TIniFile again(path);
    EXPECT_EQ(again.ReadString("Settings", "RingTone", "def"), "def");
    EXPECT_EQ(again.ReadString("Nowhere", "Message", "def"), "def");
}

TEST_F(IniFileTest, NamesCompareWithoutCaseAndFirstMatchWins)
{
    Put("; comment\n[settings]\n  RINGTIME = 45 \nringtime=99\n[SETTINGS]\nMessage=second\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("Settings", "RingTime", ""), "45");
    // Only the first section of a name is looked at.
    EXPECT_EQ(ini.ReadString("Settings", "Message", "none"), "none");
}

TEST_F(IniFileTest, ValuesAreTrimmedAndLoseOnePairOfQuotes)
{
    Put("[S]\na=  \"quoted value\"  \nb='x'\nc=\"half\nd=\ne=k=v\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("S", "a", ""), "quoted value");
    EXPECT_EQ(ini.ReadString("S", "b", ""), "x");
    EXPECT_EQ(ini.ReadString("S", "c", ""), "\"half");
    EXPECT_EQ(ini.ReadString("S", "d", "def"), ""); // present but empty is not missing
    EXPECT_EQ(ini.ReadString("S", "e", ""), "k=v");
}

TEST_F(IniFileTest, ReadsSeeAtMost2047Characters)
{
    Put("[Graph]\nConfig=" + QByteArray(5000, 'x') + "\n");
    EXPECT_EQ(TIniFile(path).ReadString("Graph", "Config", "").size(), 2047);
}

TEST_F(IniFileTest, IntegerRule)
{
    EXPECT_EQ(TIniFile::ParseInteger("0x40"), 64);
    EXPECT_EQ(TIniFile::ParseInteger("0XfF"), 255);
    EXPECT_EQ(TIniFile::ParseInteger("-7"), -7);
    EXPECT_EQ(TIniFile::ParseInteger("2147483647"), 2147483647);
    for (const char* bad :
         {"abc", "", "0x", "0x-1", "0x 1", "12abc", "1.5", "2147483648", "$40", "yes"})
        EXPECT_FALSE(TIniFile::ParseInteger(QString::fromLatin1(bad)).has_value()) << bad;
}

TEST_F(IniFileTest, WriteReplacesOneLineAndKeepsEveryOtherByte)
{
    // CR LF line ends, a comment, bytes that are not UTF-8, odd spacing: all must survive.
    const QByteArray before = "; keep me\r\n[Settings]\r\nRingTone = old \r\nName=\xE9t\xE9\r\n"
                              "\r\n[Graph]\r\nConfig=a,b\r\n";
    Put(before);
    TIniFile ini(path);
    ini.WriteString("settings", "ringtone", "new");
    QByteArray expected = before;
    expected.replace("RingTone = old ", "ringtone=new");
    EXPECT_EQ(Get(), expected);
    EXPECT_EQ(ini.ReadString("Settings", "RingTone", ""), "new");
}

TEST_F(IniFileTest, NewKeysGoToTheEndOfTheirSectionAndNewSectionsToTheEndOfTheFile)
{
    Put("[A]\nx=1\n\n[B]\ny=2");
    TIniFile ini(path);
    ini.WriteString("A", "z", "3");
    ini.WriteString("B", "w", "4");
    ini.WriteString("C", "v", "5");
    EXPECT_EQ(Get(), QByteArray("[A]\nx=1\nz=3\n\n[B]\ny=2\nw=4\n[C]\nv=5\n"));

    QFile::remove(path);
    TIniFile fresh(path);
    fresh.WriteInteger("Settings", "micVolume", 42);
    EXPECT_EQ(Get(), QByteArray("[Settings]\nmicVolume=42\n"));
}

TEST_F(IniFileTest, AValueCannotAddLinesOfItsOwn)
{
    TIniFile ini(path);
    ini.WriteString("Settings", "Message", "hi\r\n[Evil]\nAutoAnswer=1");
    EXPECT_EQ(TIniFile(path).ReadString("Evil", "AutoAnswer", "missing"), "missing");
    EXPECT_EQ(TIniFile(path).ReadString("Settings", "Message", ""), "hi  [Evil] AutoAnswer=1");
}

TEST_F(IniFileTest, FolderThatCannotBeWrittenGivesTheErrorText)
{
    // A regular file where the folder should be stops every writer, root included.
    const QString notAFolder = dir.filePath("plain");
    {
        QFile f(notAFolder);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString target = notAFolder + "/Settings.ini";
    TIniFile ini(target);
    try {
        ini.WriteString("Settings", "RingTime", "10");
        FAIL() << "write succeeded";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(), "Unable to write to " + target);
    }
}

TEST_F(IniFileTest, FailedWriteLeavesTheOldFileIntact)
{
    const QByteArray before = "[Settings]\nRingTime=10\n";
    Put(before);
    // Let the disk "fill up": no file may grow past a few bytes.
    struct sigaction ignore
    {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction old
    {};
    sigaction(SIGXFSZ, &ignore, &old);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit tiny = saved;
    tiny.rlim_cur = 8;
    setrlimit(RLIMIT_FSIZE, &tiny);
    bool threw = false;
    try {
        TIniFile(path).WriteString("Settings", "Message", "a message too long for the disk");
    } catch (const EIniFileException&) {
        threw = true;
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &old, nullptr);
    EXPECT_TRUE(threw);
    EXPECT_EQ(Get(), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Settings.ini"}); // no leftovers
}

TEST_F(IniFileTest, DamagedOrUnreadableFilesGiveDefaultsAndAreNeverReplaced)
{
    // Binary garbage reads as whatever lines it happens to hold, never crashes.
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.append(char((i * 7919) % 256));
    Put(garbage);
    EXPECT_EQ(TIniFile(path).ReadInteger("Settings", "micVolume", 85), 85);

    // A folder in the file's place cannot be read, and a write must not destroy it.
    QFile::remove(path);
    ASSERT_TRUE(QDir(dir.path()).mkdir("Settings.ini"));
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("Settings", "Message", "def"), "def");
    EXPECT_THROW(ini.WriteString("Settings", "Message", "x"), EIniFileException);
    EXPECT_TRUE(QFileInfo(path).isDir());
}

} // namespace

#include "contacts/TSettingsStore.h"
#include "platform/ini/TIniFile.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class SettingsStoreTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Settings.ini"));

    TCallSettings LoadWith(const QByteArray& settingsSection)
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("[Settings]\r\n" + settingsSection);
        f.close();
        return TSettingsStore::Load(path, QStringLiteral("192.0.2.7"));
    }
};

TEST_F(SettingsStoreTest, NoFileGivesEveryDefault)
{
    const TCallSettings s = TSettingsStore::Load(path, QStringLiteral("192.0.2.7"));
    EXPECT_EQ(s.RingTone, "Enter your ringtone selection here...");
    EXPECT_EQ(s.RingTimeMs, 10000);
    EXPECT_EQ(s.Message, "Unanswered Message");
    EXPECT_EQ(s.CallerID, "192.0.2.7");
    EXPECT_EQ(s.FilePath, QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
    EXPECT_EQ(s.MicVolume, 85);
    EXPECT_FALSE(s.AutoAnswer);
    EXPECT_TRUE(s.EchoCancellation);
    EXPECT_TRUE(s.NoiseSuppression);
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(SettingsStoreTest, RingTimeIsSecondsWithoutRangeCheckAndFallsBackWhenNotWhole)
{
    EXPECT_EQ(LoadWith("RingTime=45\r\n").RingTimeMs, 45000);
    EXPECT_EQ(LoadWith("RingTime=0\r\n").RingTimeMs, 0);
    for (const char* bad : {"abc", "", "4.5", "10s", "99999999999"})
        EXPECT_EQ(LoadWith(QByteArray("RingTime=") + bad + "\r\n").RingTimeMs, 10000) << bad;
}

TEST_F(SettingsStoreTest, NumbersAndFlagsFollowTheIntegerRule)
{
    EXPECT_EQ(LoadWith("micVolume=0x40\r\n").MicVolume, 64);
    EXPECT_EQ(LoadWith("micVolume=abc\r\n").MicVolume, 85);
    EXPECT_EQ(LoadWith("micVolume=\r\n").MicVolume, 85);
    EXPECT_FALSE(LoadWith("AutoAnswer=yes\r\n").AutoAnswer);
    EXPECT_TRUE(LoadWith("AutoAnswer=2\r\n").AutoAnswer);
    EXPECT_TRUE(LoadWith("AutoAnswer=-1\r\n").AutoAnswer);
    EXPECT_FALSE(LoadWith("AutoAnswer=0\r\n").AutoAnswer);
    // The voice switches are on unless a whole number 0 turns them off.
    EXPECT_FALSE(LoadWith("EchoCancellation=0\r\n").EchoCancellation);
    EXPECT_TRUE(LoadWith("EchoCancellation=off\r\n").EchoCancellation);
    EXPECT_FALSE(LoadWith("NoiseSuppression=0\r\n").NoiseSuppression);
    EXPECT_TRUE(LoadWith("NoiseSuppression=\r\n").NoiseSuppression);
    EXPECT_TRUE(LoadWith("NoiseSuppression=0\r\n").EchoCancellation);
}

TEST_F(SettingsStoreTest, PresentButEmptyTextKeysStayEmpty)
{
    const TCallSettings s = LoadWith("CallerID=\r\nRingTone=\r\nMessage=\r\n");
    EXPECT_EQ(s.CallerID, "");
    EXPECT_EQ(s.RingTone, "");
    EXPECT_EQ(s.Message, "");
}

TEST_F(SettingsStoreTest, SaveWritesTheKeysInOrderAndKeepsTheMicrophoneLevel)
{
    LoadWith("micVolume=33\r\n");
    TCallSettings s;
    s.RingTone = "/home/u/ring.wav";
    s.RingTimeMs = 30000;
    s.Message = "Not here";
    s.CallerID = "Ada";
    s.FilePath = "/home/u/in";
    s.AutoAnswer = true;
    s.EchoCancellation = false;
    s.MicVolume = 99; // the window never writes this one
    TSettingsStore::Save(path, s);

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(),
              QByteArray("[Settings]\r\nmicVolume=33\r\nRingTone=/home/u/ring.wav\r\n"
                         "RingTime=30\r\nMessage=Not here\r\nCallerID=Ada\r\n"
                         "FilePath=/home/u/in\r\nAutoAnswer=1\r\n"
                         "EchoCancellation=0\r\nNoiseSuppression=1\r\n"
                         "Microphone=\r\nSpeaker=\r\nShowOnNetwork=1\r\nEncryptedOnly=0\r\n"));
    const TCallSettings back = TSettingsStore::Load(path, "x");
    EXPECT_EQ(back.RingTimeMs, 30000);
    EXPECT_EQ(back.MicVolume, 33);
    EXPECT_TRUE(back.AutoAnswer);

    TSettingsStore::SaveMicVolume(path, 7);
    EXPECT_EQ(TIniFile(path).ReadString("Settings", "micVolume", ""), "7");
}

} // namespace

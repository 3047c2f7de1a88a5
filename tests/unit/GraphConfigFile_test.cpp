#include "GraphConfigTestPrint.h"

#include "capture/TGraphConfig.h"
#include "platform/ini/EIniFileException.h"
#include "platform/ini/TIniFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

class GraphConfigFile : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString Path() const { return dir_.filePath(TGraphConfig::ConfigFileName); }

    QTemporaryDir dir_;
};

TEST_F(GraphConfigFile, WritesAndReadsTheGraphConfigValue)
{
    EXPECT_EQ(TGraphConfig::ReadConfigText(Path()), QString());

    TGraphConfig c;
    c.VCapSource = QStringLiteral("Test Pattern");
    c.VCompState = QByteArray("\x01\x02", 2);
    TGraphConfig::WriteConfigText(Path(), c.SaveToString());
    TGraphConfig::WriteConfigText(Path(), c.SaveToString()); // replaces, never adds a line

    QFile file(Path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    EXPECT_TRUE(content.startsWith("[Graph]\n"));
    EXPECT_EQ(content.count("Config="), 1);

    TGraphConfig loaded;
    loaded.LoadFromString(TGraphConfig::ReadConfigText(Path()));
    EXPECT_EQ(loaded, c);
}

// Reads stop at 2047 characters, so the tail of a long compressor state is lost and, when an
// odd number of its digits survive, the rest is read shifted by one digit.
TEST_F(GraphConfigFile, ReadCutsTheLineAt2047Characters)
{
    bool sawOdd = false;
    bool sawEven = false;
    for (const QString& name : {QStringLiteral("Cam"), QStringLiteral("Cam2")}) {
        TGraphConfig c;
        c.VCapSource = name;
        c.VCompState = QByteArray(1500, '\x12');
        const QString text = c.SaveToString();
        const qsizetype kept =
            TIniFile::MaxValueLength - (text.indexOf(QStringLiteral("VCompState=")) + 11);
        ASSERT_GT(kept, 0);

        TGraphConfig::WriteConfigText(Path(), text);
        const QString read = TGraphConfig::ReadConfigText(Path());
        EXPECT_EQ(read, text.left(TIniFile::MaxValueLength));

        TGraphConfig loaded;
        loaded.LoadFromString(read);
        EXPECT_EQ(loaded.VCapSource, name);
        QByteArray expected;
        if (kept % 2 == 0) {
            sawEven = true;
            expected = QByteArray(kept / 2, '\x12');
        } else {
            sawOdd = true;
            expected = QByteArray(1, '\x01') + QByteArray(kept / 2, '\x21');
        }
        EXPECT_EQ(loaded.VCompState, expected) << "digits kept: " << kept;
        loaded.VCompState = c.VCompState;
        EXPECT_EQ(loaded, c);
    }
    EXPECT_TRUE(sawOdd && sawEven);
}

TEST_F(GraphConfigFile, FailedWriteNamesTheFile)
{
    const QString path = dir_.filePath(QStringLiteral("missing/ConfigGraph.ini"));
    try {
        TGraphConfig::WriteConfigText(path, TGraphConfig().SaveToString());
        FAIL() << "no exception";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Unable to write to ") + path);
    }
}

#include "platform/errors/EError.h"
#include "transfer/TReceivedList.h"
#include "transfer/TTransferProgress.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ReceivedList, ReadsAnyLineEndAndKeepsEmptyLines)
{
    EXPECT_EQ(TReceivedList::Parse(""), QStringList());
    EXPECT_EQ(TReceivedList::Parse("\r\n"), QStringList{""});
    EXPECT_EQ(TReceivedList::Parse("/a\r\n/b\r\n"), (QStringList{"/a", "/b"}));
    EXPECT_EQ(TReceivedList::Parse("/a\n\n/b\r/c\r\n/d"),
              (QStringList{"/a", "", "/b", "/c", "/d"}));
    // CR CR LF is an empty line between two line ends, not one line end.
    EXPECT_EQ(TReceivedList::Parse("/a\r\r\n/b"), (QStringList{"/a", "", "/b"}));
    EXPECT_EQ(TReceivedList::Parse("/gr\xc3\xbc\xc3\x9f"
                                   "e\r\n"),
              QStringList{"/grüße"});
}

TEST(ReceivedList, SavesWithCrLfAndLoadsItBack)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("FilesReceived.lst");
    EXPECT_EQ(TReceivedList::Load(path), QStringList()); // no file yet: no entries
    const QStringList entries{"/in/one.txt", "", "/in/grüße.rtf", "/in/one.txt"};
    TReceivedList::Save(path, entries);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("/in/one.txt\r\n\r\n/in/gr\xc3\xbc\xc3\x9f"
                                      "e.rtf\r\n/in/one.txt\r\n"));
    EXPECT_EQ(TReceivedList::Load(path), entries);
    TReceivedList::Save(path, {});
    EXPECT_EQ(QFileInfo(path).size(), 0);
}

TEST(ReceivedList, FailuresSayWhyAndKeepTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("FilesReceived.lst");
    TReceivedList::Save(path, {"/kept"});
    EXPECT_THROW(TReceivedList::Save(dir.filePath("missing/FilesReceived.lst"), {"/x"}), EError);
    QDir(dir.path()).mkdir("folder.lst");
    try {
        TReceivedList::Load(dir.filePath("folder.lst"));
        FAIL() << "a folder was read as a list";
    } catch (const EError& e) {
        EXPECT_TRUE(e.Message().contains("folder.lst")) << e.Message().toStdString();
    }
    EXPECT_EQ(TReceivedList::Load(path), QStringList{"/kept"});
}

TEST(TransferProgress, PercentRateAndTimeLeft)
{
    EXPECT_EQ((TTransferProgress{0, 0, 0}).Percent(), 100);
    EXPECT_EQ((TTransferProgress{0, 1000, 0}).Text(), QStringLiteral("0 %"));
    // 50 MB of 100 MB in 2 s: 25 MB/s, 2 s left.
    const TTransferProgress half{50'000'000, 100'000'000, 2000};
    EXPECT_EQ(half.Percent(), 50);
    EXPECT_DOUBLE_EQ(half.Rate(), 25e6);
    EXPECT_EQ(half.Text(), QStringLiteral("50 % \u00b7 25.0 MB/s \u00b7 0:02 left"));
    // Slow and long: hours are written out; more than was announced never passes 100 %.
    EXPECT_EQ((TTransferProgress{1'000'000, 4'000'000'000, 1000}).Text(),
              QStringLiteral("0 % \u00b7 1.0 MB/s \u00b7 1:06:39 left"));
    EXPECT_EQ((TTransferProgress{2'000, 1'000, 1000}).Percent(), 100);
    // 2 GiB-ish totals do not overflow the percentage.
    EXPECT_EQ((TTransferProgress{qint64(2147483647) - 1, qint64(2147483647), 1}).Percent(), 99);
}

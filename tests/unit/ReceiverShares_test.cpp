// What the receiver shares out: the free space among bodies on their way, and the
// received-files list kept by its writer.
#include "transfer/TDiskBudget.h"
#include "transfer/TListWriter.h"
#include "transfer/TReceivedList.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>

namespace {

// A file system of 1 GiB with 100 MiB free before anything arrives: what the bodies brought
// is taken off as they report it.
struct TFakeDisk
{
    std::atomic<qint64> written{0};
    TDiskBudget budget{[this](const QString&) {
        return std::optional(TDiskBudget::TSpace{(qint64(100) << 20) - written, qint64(1) << 30});
    }};
    // Brings a body's bytes up to n, as a receiver would report them; whether it may go on.
    bool Bring(TDiskBudget::TClaim& claim, qint64& had, qint64 n)
    {
        for (qint64 at = had; at < n;) {
            const qint64 step = std::min<qint64>(65536, n - at);
            written += step;
            at += step;
            if (!claim.Grow(at)) {
                had = at;
                return false;
            }
        }
        had = n;
        return true;
    }
};

constexpr qint64 MiB = qint64(1) << 20;

} // namespace

TEST(DiskBudget, ABodyGoesOnToTheLastOfTheRoomAndEmptyOnesStopAtTheReserve)
{
    TFakeDisk disk;
    QString why;
    // 36 MiB fit beside the 64 MiB reserve: a 40 MiB body never could and is refused unread.
    EXPECT_FALSE(disk.budget.Open("/in", 40 * MiB, &why));
    EXPECT_EQ(why, QString("not enough free space"));
    // With 10 MiB stored and a slow body holding its first 8 MiB, a 20 MiB body that fits
    // alone goes on to the last of the room beside them, then is cut.
    disk.written = 10 * MiB;
    auto slow = disk.budget.Open("/in", 20 * MiB, &why);
    auto body = disk.budget.Open("/in", 20 * MiB, &why);
    ASSERT_TRUE(slow && body);
    qint64 had = 0;
    EXPECT_TRUE(disk.Bring(*body, had, 18 * MiB - TDiskBudget::Margin));
    EXPECT_FALSE(disk.Bring(*body, had, 20 * MiB));
    disk.written -= had;
    body.reset();
    slow.reset();
    // Empty bodies cost their entry, and stop at the reserve like any other.
    std::vector<std::shared_ptr<TDiskBudget::TClaim>> empties;
    while (auto empty = disk.budget.Open("/in", 0, &why))
        empties.push_back(empty);
    EXPECT_EQ(qint64(empties.size()), 26 * MiB / TDiskBudget::MinFileCost);
}

TEST(ListWriter, NewEntriesAndWholeListsReachTheFileInOrder)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("FilesReceived.lst");
    TReceivedList::Save(path, {"/in/old1", "/in/old2"});
    {
        TListWriter writer(path, nullptr);
        writer.Know({"/in/old1", "/in/old2"});
        writer.Flush();
        EXPECT_EQ(writer.Writes(), 0) << "knowing the list writes nothing";
        for (int i = 0; i < 200; ++i)
            writer.Insert(2 + i, QString("/in/new%1").arg(i));
        writer.Insert(2, "/in/early"); // a body that arrived before others, stored after them
        writer.Flush();
        const QStringList got = TReceivedList::Load(path);
        ASSERT_EQ(got.size(), 203);
        EXPECT_EQ(got.mid(0, 4), (QStringList{"/in/old1", "/in/old2", "/in/early", "/in/new0"}));
        EXPECT_EQ(got.last(), QString("/in/new199"));
        // The user cleared the list: the next arrival writes it as it was left.
        writer.Know({});
        writer.Insert(0, "/in/after");
    }
    EXPECT_EQ(TReceivedList::Load(path), QStringList{"/in/after"});
}

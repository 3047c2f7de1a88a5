// What the receiver shares out among senders: the pace of files per address, the free space
// among bodies on their way, and the received-files list kept by its writer.
#include "transfer/TDiskBudget.h"
#include "transfer/TFilePace.h"
#include "transfer/TListWriter.h"
#include "transfer/TReceivedList.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>

using namespace std::chrono_literals;

TEST(FilePace, ABurstThenOneASpacingPerAddressWithABoundedTable)
{
    TFilePace pace(4);
    const TFilePace::TRule rule{3, 100ms};
    const auto t0 = TFilePace::TClock::now();
    const QHostAddress a("192.0.2.1"), b("192.0.2.2");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(pace.Take(a, t0, rule), 0ms) << i;
    // Side by side, each further file gets its own later turn.
    EXPECT_EQ(pace.Take(a, t0, rule), 100ms);
    EXPECT_EQ(pace.Take(a, t0, rule), 200ms);
    EXPECT_EQ(pace.Take(b, t0, rule), 0ms) << "another address has its own pace";
    // Once the time has passed, the burst is back.
    const auto later = t0 + 1s;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(pace.Take(a, later, rule), 0ms) << i;
    // A flood of addresses keeps the table at its size; nothing waits forever for it.
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(pace.Take(QHostAddress(quint32(0x0A000000 + i)), later, rule), 0ms);
    EXPECT_LE(pace.Take(a, later, rule), 300ms);
}

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

TEST(DiskBudget, ABodyHoldsWhatItBroughtAndTheOneThatWouldEatTheReserveIsCut)
{
    TFakeDisk disk;
    QString why;
    // 36 MiB fit beside the 64 MiB reserve: a body that never could is refused unread.
    EXPECT_FALSE(disk.budget.Open("/in", 40 * MiB, &why));
    EXPECT_EQ(why, QString("not enough free space"));
    // A slow 30 MiB body holds its first share only...
    auto slow = disk.budget.Open("/in", 30 * MiB, &why);
    ASSERT_TRUE(slow);
    qint64 slowHad = 0;
    ASSERT_TRUE(disk.Bring(*slow, slowHad, MiB));
    // ...so a 10 MiB file from someone else arrives whole.
    {
        auto other = disk.budget.Open("/in", 10 * MiB, &why);
        ASSERT_TRUE(other);
        qint64 had = 0;
        EXPECT_TRUE(disk.Bring(*other, had, 10 * MiB));
    }
    // A 20 MiB one fits alone but not beside the slow body's share: it is the one cut.
    auto greedy = disk.budget.Open("/in", 20 * MiB, &why);
    ASSERT_TRUE(greedy);
    qint64 greedyHad = 0;
    EXPECT_FALSE(disk.Bring(*greedy, greedyHad, 20 * MiB));
    EXPECT_LT(greedyHad, 20 * MiB);
    // Gone with its bytes, it leaves the room it took.
    disk.written -= greedyHad;
    greedy.reset();
    EXPECT_TRUE(disk.Bring(*slow, slowHad, 24 * MiB));
    EXPECT_FALSE(disk.Bring(*slow, slowHad, 30 * MiB)) << "10 + 30 MiB never fit 36";
    // Empty bodies cost their entry, and stop at the reserve like any other.
    disk.written -= slowHad;
    slow.reset();
    std::vector<std::shared_ptr<TDiskBudget::TClaim>> empties;
    while (auto empty = disk.budget.Open("/in", 0, &why))
        empties.push_back(empty);
    EXPECT_LE(qint64(empties.size()) * TDiskBudget::MinFileCost,
              (qint64(100) << 20) - disk.written - TDiskBudget::Reserve(qint64(1) << 30));
    EXPECT_GT(empties.size(), 0u);
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

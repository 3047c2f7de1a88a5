// Sealed pictures: what a forger, a replaying host or a reordering network gets past the opener,
// and how the two ends of a call cut the same exporter output.
#include "platform/crypto/TCallKeys.h"
#include "platform/crypto/TVideoOpener.h"
#include "platform/crypto/TVideoSealer.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

TCallKeys::TSecret Secret(unsigned char seed)
{
    TCallKeys::TSecret s;
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = uchar(seed + i * 13);
    return s;
}

QByteArray Picture(int n)
{
    QByteArray jpeg(n, Qt::Uninitialized);
    for (int i = 0; i < n; ++i)
        jpeg[i] = char(i * 7 + 3);
    jpeg[0] = char(0xFF);
    jpeg[1] = char(0xD8);
    return jpeg;
}

} // namespace

TEST(VideoSeal, EverySingleBitChangeIsRefusedAndTheTrueDatagramOpensOnce)
{
    TVideoSealer sealer(Secret(1));
    TVideoOpener opener(Secret(1));
    const QByteArray jpeg = Picture(61);
    const QByteArray sealed = sealer.Seal(jpeg);
    ASSERT_EQ(sealed.size(), jpeg.size() + TVideoSealer::Overhead);
    EXPECT_TRUE(sealed.startsWith("PV")) << "nothing in it looks like a picture";
    EXPECT_FALSE(sealed.contains(jpeg.mid(2, 16)));
    int refused = 0;
    for (qsizetype bit = 0; bit < sealed.size() * 8; ++bit) {
        QByteArray changed = sealed;
        changed[bit / 8] = char(changed[bit / 8] ^ (1 << (bit % 8)));
        refused += !opener.Open(changed);
    }
    EXPECT_EQ(refused, sealed.size() * 8);
    EXPECT_EQ(opener.Open(sealed), std::optional<QByteArray>(jpeg));
    EXPECT_FALSE(opener.Open(sealed));
    EXPECT_EQ(opener.Replays(), 1);
    // Cut short, a plain picture, the other direction's key: all refused and counted.
    const qint64 before = opener.AuthFailures();
    EXPECT_FALSE(opener.Open(sealed.left(TVideoSealer::Overhead - 1)));
    EXPECT_FALSE(opener.Open(jpeg));
    TVideoOpener other(Secret(2));
    EXPECT_FALSE(other.Open(sealer.Seal(jpeg)));
    EXPECT_EQ(opener.AuthFailures() - before + other.AuthFailures(), 3);
}

TEST(VideoSeal, ReorderedDatagramsOpenWithinTheWindowAndNeverTwice)
{
    TVideoSealer sealer(Secret(3));
    TVideoOpener opener(Secret(3));
    std::vector<QByteArray> sent;
    for (int i = 0; i < TReplayWindow::Size + 10; ++i)
        sent.push_back(sealer.Seal(Picture(20 + i % 50)));
    // The newest first, then an older one still in the window, then one that fell out of it.
    EXPECT_TRUE(opener.Open(sent[TReplayWindow::Size + 5]));
    EXPECT_TRUE(opener.Open(sent[10]));
    EXPECT_FALSE(opener.Open(sent[5]));
    EXPECT_FALSE(opener.Open(sent[10]));
    EXPECT_EQ(opener.Replays(), 2);
    int opened = 0;
    for (int i = TReplayWindow::Size + 9; i > 5; --i)
        opened += bool(opener.Open(sent[i]));
    // Everything in the window that had not come yet, and nothing else.
    EXPECT_EQ(opened, TReplayWindow::Size - 2);
    // A forgery does not move the window: the true datagram after it still opens.
    const QByteArray next = sealer.Seal(Picture(30));
    QByteArray forged = next;
    forged[forged.size() - 1] = char(forged.back() ^ 1);
    EXPECT_FALSE(opener.Open(forged));
    EXPECT_TRUE(opener.Open(next));
}

TEST(VideoSeal, TheNextEpochIsTakenAndTheLastKeptBriefly)
{
    TVideoSealer old(Secret(4), 6);
    TVideoSealer next(Secret(4), 7);
    TVideoOpener opener(Secret(4), 6);
    auto now = TVideoOpener::TClock::now();
    opener.clock = [&] { return now; };
    const QByteArray late = old.Seal(Picture(40));
    EXPECT_TRUE(opener.Open(old.Seal(Picture(40))));
    EXPECT_TRUE(opener.Open(next.Seal(Picture(40))));
    EXPECT_TRUE(opener.Open(late)) << "overtaken on the way, within the time kept";
    now += TVideoOpener::PreviousEpochKept;
    EXPECT_FALSE(opener.Open(old.Seal(Picture(40))));
    // An epoch skipped ahead is not taken.
    TVideoSealer ahead(Secret(4), 9);
    EXPECT_FALSE(opener.Open(ahead.Seal(Picture(40))));
    EXPECT_TRUE(opener.Open(next.Seal(Picture(40))));
}

TEST(VideoSeal, BothEndsCutTheSameExportIntoMirroredKeysAndTheSameNumbers)
{
    QByteArray exported(TCallKeys::ExportSize, Qt::Uninitialized);
    for (int i = 0; i < exported.size(); ++i)
        exported[i] = char(i);
    const std::optional<TCallKeys> caller = TCallKeys::Cut(exported, true);
    const std::optional<TCallKeys> callee = TCallKeys::Cut(exported, false);
    ASSERT_TRUE(caller && callee);
    EXPECT_FALSE(TCallKeys::Cut(exported.left(10), true));
    EXPECT_EQ(caller->srtpOut, callee->srtpIn);
    EXPECT_EQ(caller->videoOut, callee->videoIn);
    EXPECT_NE(caller->videoOut, caller->videoIn);
    TVideoSealer sealer(caller->videoOut);
    TVideoOpener opener(callee->videoIn);
    EXPECT_TRUE(opener.Open(sealer.Seal(Picture(100))));

    const QByteArray nC(32, 'c'), nB(32, 'b');
    const QString numbers = TCallKeys::Numbers(caller->sas, nC, nB);
    EXPECT_TRUE(QRegularExpression("^\\d{3} \\d{3}$").match(numbers).hasMatch());
    EXPECT_EQ(TCallKeys::Numbers(callee->sas, nC, nB), numbers);
    EXPECT_NE(TCallKeys::Numbers(caller->sas, nB, nC), numbers) << "each nonce has its place";
}

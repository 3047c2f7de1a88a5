// What DNS-SD browsing found, as computers: services put together per computer, the bound on
// what a network can make the table keep, and names from the network checked before use.
#include "platform/dnssd/TDnsSdPeerTable.h"

#include <gtest/gtest.h>

namespace {

struct Table
{
    TDnsSdPeerTable table;
    QStringList told; // "+key name host copy", "~key ...", "-key"
    QList<QPair<QString, QString>> checks;
    bool nameResolves = true;

    Table()
    {
        const auto text = [](const TPeer& p) {
            return p.key + " " + p.name + " " + p.host + (p.programCopy ? " copy" : "");
        };
        table.OnAppeared = [this, text](const TPeer& p) { told << "+" + text(p); };
        table.OnChanged = [this, text](const TPeer& p) { told << "~" + text(p); };
        table.OnGone = [this](const QString& key) { told << "-" + key; };
        table.OnCheckName = [this](const QString& key, const QString& host, const QHostAddress&) {
            checks.append({key, host});
            table.NameChecked(key, nameResolves);
        };
    }
};

const QHostAddress B("169.254.91.2");
const QString BKey = "hostb.local\n169.254.91.2";

TEST(DnsSdPeerTable, AComputerIsNamedByItsCopyOfTheProgramAndGoesWithItsLastService)
{
    Table t;
    ASSERT_TRUE(t.table.Add("w", "hostB [aa:bb]", false));
    t.table.Resolved("w", "hostB.local", B);
    ASSERT_TRUE(t.table.Add("c", "Bob", true));
    t.table.Resolved("c", "hostB.local", B);
    t.table.Remove("c");
    t.table.Remove("w");
    EXPECT_EQ(t.told, QStringList({"+" + BKey + " hostB [aa:bb] hostB.local",
                                   "~" + BKey + " Bob hostB.local copy",
                                   "~" + BKey + " hostB [aa:bb] hostB.local", "-" + BKey}));
    EXPECT_EQ(t.checks.size(), 1); // the name is asked about once per computer

    // A service that went before it resolved was never told of; nor one that did not resolve.
    Table quiet;
    quiet.table.Add("x", "Gone early", true);
    quiet.table.Remove("x");
    quiet.table.Resolved("x", "late.local", B);
    quiet.table.Add("y", "Unanswered", true);
    quiet.table.Remove("y");
    EXPECT_TRUE(quiet.told.isEmpty());
}

TEST(DnsSdPeerTable, AComputerWaitsForItsNameCheckAndIsCalledByItsAddressWhenThatFails)
{
    Table t;
    t.table.OnCheckName = [&](const QString& key, const QString& host, const QHostAddress&) {
        t.checks.append({key, host});
    };
    t.table.Add("c", "Carol", true);
    t.table.Resolved("c", "hostC.local", QHostAddress("169.254.91.3"));
    EXPECT_TRUE(t.told.isEmpty());
    EXPECT_TRUE(t.table.Checking());
    ASSERT_EQ(t.checks.size(), 1);
    t.table.NameChecked(t.checks[0].first, false);
    EXPECT_FALSE(t.table.Checking());
    EXPECT_EQ(t.told, QStringList({"+hostc.local\n169.254.91.3 Carol 169.254.91.3 copy"}));
}

TEST(DnsSdPeerTable, AFloodOfServicesStaysWithinTheBound)
{
    Table t;
    int kept = 0;
    for (int i = 0; i < 1000; ++i)
        kept += t.table.Add(QString("flood %1").arg(i), QString("flood %1").arg(i), true) ? 1 : 0;
    EXPECT_EQ(kept, TDnsSdPeerTable::MaxServices);
    EXPECT_EQ(t.table.ServiceCount(), TDnsSdPeerTable::MaxServices);
    for (int i = 0; i < 1000; ++i)
        t.table.Resolved(QString("flood %1").arg(i), "hostB.local", B);
    // All of them one computer, told of once, by the first name found.
    EXPECT_EQ(t.told, QStringList({"+" + BKey + " flood 0 hostB.local copy"}));
    // What goes makes room again.
    t.table.Remove("flood 0");
    EXPECT_TRUE(t.table.Add("late", "late", false));
    EXPECT_FALSE(t.table.Add("later", "later", false));
}

TEST(DnsSdPeerTable, NamesAndAddressesTheNetworkChoseAreCheckedBeforeUse)
{
    Table t;
    EXPECT_FALSE(t.table.Add("long", QString(64, 'x'), true));
    EXPECT_FALSE(t.table.Add("wide", QString(32, QChar(0x00E9)), true)); // 64 bytes as UTF-8
    EXPECT_FALSE(t.table.Add("empty", "", true));
    EXPECT_TRUE(t.table.Add("fits", QString(63, 'x'), true));
    EXPECT_FALSE(t.table.Add("fits", "again", true));

    t.table.Add("v6", "Six", true);
    t.table.Resolved("v6", "six.local", QHostAddress("fe80::1"));
    t.table.Add("huge", "Huge", true);
    t.table.Resolved("huge", QString(300, 'h'), B);
    t.table.Add("none", "Nameless", true);
    t.table.Resolved("none", "", B);
    EXPECT_TRUE(t.told.isEmpty());
    EXPECT_FALSE(t.table.Contains("v6") || t.table.Contains("huge") || t.table.Contains("none"));

    // Only a plain DNS name goes to the system resolver.
    for (const QString& bad :
         QStringList{"", "-x.local", ".local", "a..local", "evil host", "x;rm -rf", "a\nb",
                     QString::fromUtf8("caf\u00e9.local"), QString(254, QLatin1Char('a'))})
        EXPECT_FALSE(TDnsSdPeerTable::IsPlainHostName(bad)) << bad.toStdString();
    EXPECT_TRUE(TDnsSdPeerTable::IsPlainHostName("Host-B.local"));
}

TEST(DnsSdPeerTable, AKeyIsAnnouncedOnlyByAWellFormedRecordAndOnlyForACopy)
{
    const QByteArray fp = QByteArray(52, 'A').replace(51, 1, "Q");
    const QByteArray pvfp = "pvfp=" + fp;
    EXPECT_EQ(TDnsSdPeerTable::AnnouncedKey({"txtvers=1", "pvsec=1", pvfp}), QString(fp));
    for (const QList<QByteArray>& bad :
         QList<QList<QByteArray>>{{"txtvers=1", pvfp},          // no pvsec
                                  {"pvsec=2", pvfp},            // another version
                                  {"pvsec=1", "pvsec=1", pvfp}, // twice
                                  {"pvsec=1", pvfp, "pvfp=" + QByteArray(52, 'B')},
                                  {"pvsec=1", "pvfp=" + fp.left(51)},  // short
                                  {"pvsec=1", "pvfp=" + fp + "A"},     // long
                                  {"pvsec=1", "pvfp=" + fp.toLower()}, // not base 32 as written
                                  {"pvsec=1", "pvfp=" + QByteArray(51, 'A') + "1"},
                                  {"pvsec=1", "pvfp=" + QByteArray(51, 'A') + '\0'},
                                  {"pvsec=1", "pvfp"}})
        EXPECT_TRUE(TDnsSdPeerTable::AnnouncedKey(bad).isEmpty()) << bad.join(' ').toStdString();

    // A workstation's record says nothing of keys, whatever it holds.
    TDnsSdPeerTable table;
    QList<TPeer> told;
    table.OnAppeared = [&](const TPeer& p) { told << p; };
    table.OnChanged = [&](const TPeer& p) { told << p; };
    table.OnCheckName = [&](const QString& key, const QString&, const QHostAddress&) {
        table.NameChecked(key, true);
    };
    table.Add("ws", "Workstation", false);
    table.Resolved("ws", "hostb.local", B, QString(fp));
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told.last().announcedKey.isEmpty());
    table.Add("copy", "Bert", true);
    table.Resolved("copy", "hostb.local", B, QString(fp));
    EXPECT_EQ(told.last().announcedKey, QString(fp));
    EXPECT_EQ(told.last().address, B.toString());
}

} // namespace

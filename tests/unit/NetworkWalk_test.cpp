// The search of the network neighbourhood over the in-memory provider: what is listed, in
// which order, and that every level opened is closed whatever happens on the way.
#include "contacts/TNetworkWalk.h"
#include "platform/netenum/fake/TFakeNetResourceProvider.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using TNode = TFakeNetResourceProvider::TNode;
constexpr TNode Root = TFakeNetResourceProvider::Root;
const QString Provider = QStringLiteral("Microsoft Windows Network");

struct Search
{
    TFakeNetResourceProvider net;
    QStringList listed; // remote names handed on, in order
    QList<TNetResource> entries;

    TNetworkWalk Walk(TNetDisplayType filter = TNetDisplayType::Server)
    {
        TNetworkWalk walk(net, TNetResourceType::Disk, filter);
        walk.OnListed = [this](const TNetResource& e) {
            listed << e.remoteName;
            entries << e;
        };
        return walk;
    }
    void Run(TNetDisplayType filter = TNetDisplayType::Server)
    {
        Walk(filter).WalkNetwork(std::nullopt);
    }
    void ExpectAllClosed() const
    {
        EXPECT_TRUE(net.OpenLevels().isEmpty()) << net.OpenLevels().join(", ").toStdString();
        EXPECT_EQ(net.Closes, net.SuccessfulOpens);
    }
};

TEST(NetworkWalk, ListsServersDepthFirstThroughNestedContainersAndNothingElse)
{
    Search s;
    const TNode network = s.net.AddNetwork(Root, Provider);
    const TNode office = s.net.AddDomain(network, "OFFICE", Provider);
    const TNode lab = s.net.AddDomain(office, "LAB", Provider);
    const TNode scope = s.net.AddServer(lab, "SCOPE", "Oscilloscope PC", Provider);
    s.net.AddShare(scope, "traces");
    const TNode alpha = s.net.AddServer(office, "ALPHA", "Front desk", Provider);
    s.net.AddShare(alpha, "public");
    s.net.AddShare(alpha, "printers$");
    const TNode home = s.net.AddDomain(network, "HOME", Provider);
    s.net.AddServer(home, "BETA", "Kitchen", Provider);

    s.Run();

    EXPECT_EQ(s.listed, QStringList({"\\\\SCOPE", "\\\\ALPHA", "\\\\BETA"}));
    // Every container was opened, computers included (their shares are read, never listed).
    EXPECT_EQ(
        s.net.Calls.filter("Open "),
        QStringList({"Open (root)", "Open Microsoft Windows Network", "Open OFFICE", "Open LAB",
                     "Open \\\\SCOPE", "Open \\\\ALPHA", "Open HOME", "Open \\\\BETA"}));
    for (const auto& open : s.net.Opens) {
        EXPECT_EQ(open.scope, TNetScope::GlobalNet);
        EXPECT_EQ(open.type, TNetResourceType::Disk);
        EXPECT_EQ(open.usage, NetUsage::All);
    }
    // A level is closed before the walk goes down into its entries, each read exactly once.
    EXPECT_EQ(s.net.Calls.mid(0, 3),
              QStringList({"Open (root)", "Read (root) 16384", "Close (root)"}));
    EXPECT_EQ(s.net.Calls.filter("Read ").size(), 8);
    s.ExpectAllClosed();

    // Without a filter every entry is handed on: provider, domains, servers and shares.
    Search all;
    all.net.AddShare(all.net.AddServer(all.net.AddDomain(Root, "D", Provider), "S", "", Provider),
                     "x");
    all.Run(TNetDisplayType::Generic);
    EXPECT_EQ(all.listed, QStringList({"D", "\\\\S", "\\\\S\\x"}));
}

TEST(NetworkWalk, ServersReportedTwiceOrInOtherCaseAreListedAsReported)
{
    Search s;
    const TNode a = s.net.AddDomain(Root, "A", Provider);
    const TNode b = s.net.AddDomain(Root, "B", Provider);
    const TNode gamma = s.net.AddServer(a, "GAMMA", "Lab", Provider);
    s.net.AddShare(gamma, "data");
    s.net.AddAgain(b, gamma);
    s.net.AddServer(b, "gamma", "lab (lower case)", Provider);

    s.Run();

    // The list holds what the neighbourhood reports; the address book drops the repeat later.
    EXPECT_EQ(s.listed, QStringList({"\\\\GAMMA", "\\\\GAMMA", "\\\\gamma"}));
    EXPECT_EQ(s.net.Calls.filter("Open \\\\GAMMA").size(), 2);
    s.ExpectAllClosed();
}

TEST(NetworkWalk, LinesOfAComputerKeepEmptyCommentsAndProviders)
{
    TNetResource e;
    e.displayType = TNetDisplayType::Server;
    e.remoteName = "\\\\NOCOMMENT";
    EXPECT_EQ(TNetworkWalk::ListLines(e),
              QStringList({"Computer Name: ", "Host Name and Connection Path: \\\\NOCOMMENT",
                           "Network Provider: ", ""}));
    e.comment = "A comment well beyond twenty-two characters";
    e.provider = Provider;
    EXPECT_EQ(TNetworkWalk::ListLines(e).at(0),
              QString("Computer Name: A comment well beyond twenty-two characters"));
    EXPECT_EQ(TNetworkWalk::ListLines(e).at(2), "Network Provider: " + Provider);

    Search s;
    s.net.AddServer(Root, "QUIET", "", Provider);
    s.Run();
    ASSERT_EQ(s.entries.size(), 1);
    EXPECT_TRUE(s.entries[0].comment.isEmpty());
}

TEST(NetworkWalk, ALevelThatFailsIsSkippedWithEverythingBelowIt)
{
    Search s;
    const TNode dead = s.net.AddDomain(Root, "DEAD", Provider);
    s.net.AddServer(dead, "HIDDEN", "", Provider);
    const TNode broken = s.net.AddDomain(Root, "BROKEN", Provider);
    s.net.AddServer(broken, "ALSOHIDDEN", "", Provider);
    const TNode live = s.net.AddDomain(Root, "LIVE", Provider);
    const TNode shy = s.net.AddServer(live, "SHY", "", Provider);
    s.net.AddServer(shy, "UNDERSHY", "", Provider); // reachable only through SHY's level
    s.net.AddServer(live, "LAST", "", Provider);
    s.net.FailOpen(dead, NetError::NoNetwork);
    s.net.FailRead(broken, NetError::ExtendedError);
    s.net.FailRead(shy, NetError::ExtendedError);

    s.Run();

    // SHY is listed by its parent's level; only what lies below it is lost.
    EXPECT_EQ(s.listed, QStringList({"\\\\SHY", "\\\\LAST"}));
    EXPECT_TRUE(s.net.Calls.contains("Close BROKEN"));
    EXPECT_TRUE(s.net.Calls.contains("Close \\\\SHY"));
    EXPECT_FALSE(s.net.Calls.contains("Close DEAD")); // never opened, so nothing to close
    s.ExpectAllClosed();

    // A root that cannot be opened leaves the list empty and reads nothing.
    Search none;
    none.net.AddServer(Root, "X", "", Provider);
    none.net.FailOpen(Root, NetError::NoNetwork);
    std::vector<TNetResource> entries{TNetResource{}};
    EXPECT_FALSE(none.Walk().EnumerateLevel(std::nullopt, entries));
    EXPECT_TRUE(entries.empty());
    none.Run();
    EXPECT_TRUE(none.listed.isEmpty());
    EXPECT_TRUE(none.net.Calls.filter("Read").isEmpty());

    // An empty level answers no-more-items: nothing below, and closed all the same.
    Search empty;
    empty.net.AddDomain(Root, "EMPTY", Provider);
    empty.Run(TNetDisplayType::Generic);
    EXPECT_EQ(empty.listed, QStringList({"EMPTY"}));
    EXPECT_TRUE(empty.net.Calls.contains("Close EMPTY"));
    empty.ExpectAllClosed();
}

TEST(NetworkWalk, MoreDataGrowsTheBufferToWhatTheProviderAsks)
{
    Search s;
    const TNode big = s.net.AddDomain(Root, "BIG", Provider);
    s.net.AddServer(big, "ONE", "", Provider);
    s.net.AnswerMoreDataBelow(big, 40000);
    // An entry larger than the first buffer: the provider asks for its exact size.
    const QString longComment(20000, QLatin1Char('c'));
    const TNode wide = s.net.AddDomain(Root, "WIDE", Provider);
    const TNode huge = s.net.AddServer(wide, "HUGE", longComment, Provider);

    s.Run();

    EXPECT_EQ(s.listed, QStringList({"\\\\ONE", "\\\\HUGE"}));
    EXPECT_EQ(s.net.Calls.filter("Read BIG"), QStringList({"Read BIG 16384", "Read BIG 40000"}));
    const QString hugeSize = QString::number(NetResourceBytes(s.net.Entry(huge)));
    EXPECT_EQ(s.net.Calls.filter("Read WIDE"),
              QStringList({"Read WIDE 16384", "Read WIDE " + hugeSize}));
    ASSERT_EQ(s.entries.size(), 2);
    EXPECT_EQ(s.entries[1].comment, longComment);
    s.ExpectAllClosed();

    // A provider asking for no more room than it had gets no second read: the level fails.
    Search stuck;
    const TNode level = stuck.net.AddDomain(Root, "STUCK", Provider);
    stuck.net.AddServer(level, "NEVER", "", Provider);
    stuck.net.AnswerMoreDataBelow(level, TNetworkWalk::InitialBufferSize + 1);
    stuck.net.FailRead(level, NetError::ExtendedError, 1); // the second read fails outright
    stuck.Run();
    EXPECT_TRUE(stuck.listed.isEmpty());
    EXPECT_EQ(stuck.net.Calls.filter("Read STUCK").size(), 2);
    stuck.ExpectAllClosed();
}

TEST(NetworkWalk, OneReadPerLevelKeepsOnlyTheEntriesThatFitTheFirstBatch)
{
    Search s;
    std::size_t used = 0;
    int fitting = 0;
    for (int i = 0; i < 600; ++i) {
        const TNode n = s.net.AddServer(Root, QString("HOST%1").arg(i, 3, 10, QLatin1Char('0')),
                                        "Desk", Provider);
        used += NetResourceBytes(s.net.Entry(n));
        if (used <= TNetworkWalk::InitialBufferSize)
            ++fitting;
    }
    ASSERT_LT(fitting, 600);

    s.Run();

    EXPECT_EQ(s.listed.size(), fitting);
    EXPECT_EQ(s.listed.first(), QString("\\\\HOST000"));
    EXPECT_EQ(s.net.Calls.filter("Read (root)").size(), 1);
    s.ExpectAllClosed();
}

TEST(NetworkWalk, AFailureThrownByTheProviderClosesTheLevelAndTravelsOn)
{
    Search s;
    const TNode outer = s.net.AddDomain(Root, "OUTER", Provider);
    s.net.AddServer(outer, "BEFORE", "", Provider);
    const TNode bad = s.net.AddServer(outer, "BAD", "", Provider);
    s.net.AddServer(outer, "AFTER", "", Provider);
    s.net.ThrowOnRead(bad);

    EXPECT_THROW(s.Run(), std::runtime_error);

    EXPECT_EQ(s.listed, QStringList({"\\\\BEFORE", "\\\\BAD"}));
    EXPECT_TRUE(s.net.Calls.contains("Close \\\\BAD"));
    s.ExpectAllClosed();
}

} // namespace

// Names of received stream messages: whatever a peer sends, what comes back is one bare entry
// of the receive folder or a refusal with a reason.
#include "transfer/TReceivedName.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Each hostile name is refused or reduced to a bare name; expected is that name, "" when it
// has to be refused.
struct Hostile
{
    const char* wire;
    const char* expected;
};

const Hostile HostileNames[] = {
    {"../escape", "escape"},
    {"..\\escape", "escape"},
    {"/etc/escape", "escape"},
    {"a/../../escape", "escape"},
    {"..\\..\\escape", "escape"},
    {"....//escape", "escape"},
    {"./escape", "escape"},
    {"escape/..", ""},
    {"escape\\.", ""},
    {"escape/", ""},
    {"..", ""},
    {".", ""},
    {"/", ""},
    {"C:\\escape", "escape"},
    {"\\\\server\\share\\escape", "escape"},
    {"..\\/..//\\escape", "escape"},
    {"~/../escape", "escape"},
    {"..\\..\\x", "x"},
    {".bashrc", "bashrc"},
    {"a/..hidden", "hidden"},
    {"...", ""},
    {"zero\xe2\x80\x8bwidth", ""},
    {"soft\xc2\xadhyphen", ""},
};

std::string Utf8(const QString& text)
{
    return text.toStdString();
}

} // namespace

TEST(ReceivedName, PathsAreCutToTheirLastComponentOrRefused)
{
    for (const Hostile& h : HostileNames) {
        QString reason;
        const std::optional<QString> name = TReceivedName::Clean(QByteArray(h.wire), &reason);
        if (*h.expected == '\0') {
            EXPECT_FALSE(name) << h.wire << " gave " << Utf8(name.value_or(QString()));
            EXPECT_FALSE(reason.isEmpty()) << h.wire;
            continue;
        }
        ASSERT_TRUE(name) << h.wire << ": " << Utf8(reason);
        EXPECT_EQ(Utf8(*name), h.expected) << h.wire;
        EXPECT_FALSE(name->contains(u'/') || name->contains(u'\\')) << h.wire;
        EXPECT_NE(*name, u".");
        EXPECT_NE(*name, u"..");
    }
}

TEST(ReceivedName, PlainNamesStayAsTheyAre)
{
    for (const char* plain : {"report.pdf", "-rf", " spaced name .txt", "~backup", "a.b.c",
                              "C:escape", "\xe2\x88\x95not a slash"}) {
        EXPECT_EQ(TReceivedName::Clean(QByteArray(plain)), QString::fromUtf8(plain)) << plain;
    }
}

TEST(ReceivedName, ControlCharactersAnywhereRefuseTheWholeName)
{
    for (const QByteArray& wire :
         {QByteArray("a\r\nb"), QByteArray("x/\nname"), QByteArray("line\nbreak/ok.txt"),
          QByteArray("nul\0after", 9), QByteArray("del\x7f"), QByteArray("tab\there"),
          QByteArray("c1\xc2\x85"
                     "utf8"),
          QByteArray("c1 \x81 latin")}) {
        QString reason;
        EXPECT_FALSE(TReceivedName::Clean(wire, &reason)) << wire.toStdString();
        EXPECT_EQ(reason, QStringLiteral("a control character in the name"));
    }
    QString reason;
    EXPECT_FALSE(TReceivedName::Clean("one\xe2\x80\xa8two", &reason)) << "U+2028";
    EXPECT_EQ(reason, QStringLiteral("a line break in the name"));
    EXPECT_FALSE(TReceivedName::Clean("photo\xe2\x80\xaegpj.sh", &reason)) << "U+202E";
    EXPECT_EQ(reason, QStringLiteral("a text direction control in the name"));
}

TEST(ReceivedName, LengthCountsUtf8Bytes)
{
    const std::optional<QString> exact = TReceivedName::Clean(QByteArray(255, 'a'));
    ASSERT_TRUE(exact);
    EXPECT_EQ(exact->size(), 255);
    QString reason;
    EXPECT_FALSE(TReceivedName::Clean(QByteArray(256, 'a'), &reason));
    EXPECT_EQ(reason, QStringLiteral("a name over 255 bytes"));
    EXPECT_FALSE(TReceivedName::Clean(QByteArray(300, 'z')));

    // 85 three-byte characters are 255 bytes but 85 characters; one more byte is too many.
    QByteArray euros;
    for (int i = 0; i < 85; ++i)
        euros += "\xe2\x82\xac";
    const std::optional<QString> wide = TReceivedName::Clean(euros);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->size(), 85);
    EXPECT_FALSE(TReceivedName::Clean(euros + 'x'));
    // Only what is kept counts: a long folder part does not refuse a short name.
    EXPECT_EQ(TReceivedName::Clean(QByteArray(400, 'd') + "/short"), QStringLiteral("short"));
}

TEST(ReceivedName, BytesThatAreNotUtf8ReadAsWindowsText)
{
    EXPECT_EQ(TReceivedName::Clean("Caf\xe9.txt"), QString::fromUtf8("Caf\xc3\xa9.txt"));
    EXPECT_EQ(TReceivedName::Clean("Caf\xc3\xa9.txt"), QString::fromUtf8("Caf\xc3\xa9.txt"));
    // A sequence cut off at the end is not UTF-8: each byte stands.
    EXPECT_EQ(TReceivedName::Clean("Caf\xc3"), QString::fromUtf8("Caf\xc3\x83"));
    // An encoded surrogate or an overlong "/" is not UTF-8 either, and becomes no separator.
    const std::optional<QString> surrogate = TReceivedName::Clean("s\xed\xa0\x80.txt");
    ASSERT_TRUE(surrogate);
    EXPECT_EQ(surrogate->size(), 8);
    for (const QChar c : *surrogate)
        EXPECT_FALSE(c.isSurrogate());
    const std::optional<QString> overlong = TReceivedName::Clean("a\xc0\xaf"
                                                                 "b");
    ASSERT_TRUE(overlong);
    EXPECT_FALSE(overlong->contains(u'/'));
}

TEST(ReceivedName, EmptyAndSpoolFileNamesAreRefused)
{
    QString reason;
    EXPECT_FALSE(TReceivedName::Clean(QByteArray(), &reason));
    EXPECT_EQ(reason, QStringLiteral("an empty name"));
    for (const char* spool :
         {"parlavue-a1B2c3.spool", "x/parlavue-Qz9.spool", "PARLAVUE-x.SPOOL", "parlavue-.spool"}) {
        EXPECT_FALSE(TReceivedName::Clean(spool, &reason)) << spool;
        EXPECT_EQ(reason, QStringLiteral("the name of a spool file"));
    }
    for (const char* near : {"parlavue-a1B2c3.spool.txt", "my-parlavue-x.spool", "parlavue.spool"})
        EXPECT_EQ(TReceivedName::Clean(near), QString::fromUtf8(near)) << near;
}

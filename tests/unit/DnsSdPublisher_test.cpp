#include "platform/dnssd/TDnsSdPublisher.h"

#include <gtest/gtest.h>

namespace {
QString Repeated(const QString& piece, int times)
{
    QString text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

qsizetype Utf8Bytes(const QString& text)
{
    return text.toUtf8().size();
}

bool HasHiddenChar(const QString& text)
{
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
            c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            return true;
    return false;
}

// The cut never splits a character: the result is the start of the name, within a label, and
// the next whole character would not have fitted.
void ExpectWholeCharacterCut(const QString& input, const QString& name)
{
    EXPECT_TRUE(input.startsWith(name)) << name.toStdString();
    EXPECT_LE(Utf8Bytes(name), TDnsSdPublisher::MaxNameBytes);
    ASSERT_FALSE(name.isEmpty());
    EXPECT_FALSE(name.back().isHighSurrogate());
    const qsizetype next = input.at(name.size()).isHighSurrogate() ? 2 : 1;
    EXPECT_GT(Utf8Bytes(input.left(name.size() + next)), TDnsSdPublisher::MaxNameBytes);
}

TEST(DnsSdPublisherInstanceName, HiddenCharactersBecomeSpacesAndTheEndsAreTrimmed)
{
    EXPECT_EQ(TDnsSdPublisher::InstanceName(QStringLiteral("Alice")), QStringLiteral("Alice"));
    EXPECT_EQ(TDnsSdPublisher::InstanceName(QStringLiteral("  Alice Smith\t")),
              QStringLiteral("Alice Smith"));
    // A line break, a bidi override and DEL inside: each one space, nothing else touched.
    EXPECT_EQ(TDnsSdPublisher::InstanceName(QStringLiteral("\tAl\nice\u202Egnp.exe\x7f")),
              QStringLiteral("Al ice gnp.exe"));
    EXPECT_EQ(TDnsSdPublisher::InstanceName(QStringLiteral("a\u2028b\u2029c\u200Bd\rE")),
              QStringLiteral("a b c d E"));
    const QString odd =
        TDnsSdPublisher::InstanceName(QStringLiteral("\u202EEve\x01\x1b[31m\u0085"));
    EXPECT_FALSE(HasHiddenChar(odd)) << odd.toStdString();
    EXPECT_EQ(odd, QStringLiteral("Eve  [31m"));
    // Printable text beyond ASCII is kept as it is.
    EXPECT_EQ(TDnsSdPublisher::InstanceName(QStringLiteral("Zoë’s Büro €")),
              QStringLiteral("Zoë’s Büro €"));
}

TEST(DnsSdPublisherInstanceName, NothingPrintableGivesEmpty)
{
    EXPECT_TRUE(TDnsSdPublisher::InstanceName(QString()).isEmpty());
    EXPECT_TRUE(TDnsSdPublisher::InstanceName(QStringLiteral("\r\n\t\x07\u202E\u200B")).isEmpty());
    EXPECT_TRUE(TDnsSdPublisher::InstanceName(QStringLiteral("   \u2028 ")).isEmpty());
}

TEST(DnsSdPublisherInstanceName, LongNamesAreCutToOneDnsLabelOfWholeCharacters)
{
    // ASCII: one byte a character.
    const QString ascii = Repeated(QStringLiteral("abcdefghij"), 7);
    ASSERT_EQ(ascii.size(), 70);
    EXPECT_EQ(TDnsSdPublisher::InstanceName(ascii), ascii.left(63));

    // Three bytes a character: 21 of them fill the label exactly.
    const QString euros = Repeated(QStringLiteral("€"), 30);
    const QString cutEuros = TDnsSdPublisher::InstanceName(euros);
    EXPECT_EQ(cutEuros, euros.left(21));
    EXPECT_EQ(Utf8Bytes(cutEuros), 63);

    // A two-byte character across the limit goes whole.
    const QString umlauts = QStringLiteral("a") + Repeated(QStringLiteral("ü"), 40);
    const QString cutUmlauts = TDnsSdPublisher::InstanceName(umlauts);
    EXPECT_EQ(cutUmlauts, umlauts.left(32)); // 1 + 31 * 2 = 63 bytes
    ExpectWholeCharacterCut(umlauts, cutUmlauts);

    // Leading spaces do not use up the label.
    const QString padded = QStringLiteral("     ") + ascii;
    EXPECT_EQ(TDnsSdPublisher::InstanceName(padded), ascii.left(63));
}

TEST(DnsSdPublisherInstanceName, EmojiAreNeverCutInHalf)
{
    // Four UTF-8 bytes, two UTF-16 units each; each offset puts the limit at another byte of one.
    const QString emoji = QStringLiteral("\U0001F600");
    ASSERT_EQ(emoji.size(), 2);
    for (int lead = 0; lead < 4; ++lead) {
        const QString input = QString(lead, QLatin1Char('x')) + Repeated(emoji, 20);
        const QString name = TDnsSdPublisher::InstanceName(input);
        SCOPED_TRACE(lead);
        ExpectWholeCharacterCut(input, name);
        EXPECT_TRUE(name.back().isLowSurrogate());
        EXPECT_EQ(name.toUtf8(), input.left(name.size()).toUtf8());
        EXPECT_FALSE(name.toUtf8().contains('?')) << "a broken pair was encoded";
    }
}

TEST(DnsSdPublisherInstanceName, ACutThatEndsInASpaceIsTrimmed)
{
    const QString input = QString(62, QLatin1Char('a')) + QStringLiteral(" bbb");
    EXPECT_EQ(TDnsSdPublisher::InstanceName(input), QString(62, QLatin1Char('a')));
    // A control just before the limit becomes a space and goes with it.
    const QString control = QString(62, QLatin1Char('a')) + QStringLiteral("\nbbb");
    EXPECT_EQ(TDnsSdPublisher::InstanceName(control), QString(62, QLatin1Char('a')));
}

TEST(DnsSdPublisherInstanceName, ANameOfExactlyOneLabelIsKept)
{
    const QString exact = QString(63, QLatin1Char('n'));
    EXPECT_EQ(TDnsSdPublisher::InstanceName(exact), exact);
    const QString emojiExact =
        QString(3, QLatin1Char('n')) + Repeated(QStringLiteral("\U0001F600"), 15);
    ASSERT_EQ(Utf8Bytes(emojiExact), 63);
    EXPECT_EQ(TDnsSdPublisher::InstanceName(emojiExact), emojiExact);
}
} // namespace

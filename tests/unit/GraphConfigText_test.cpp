#include "capture/TCommaText.h"
#include "capture/THexText.h"

#include <gtest/gtest.h>

TEST(GraphConfigCommaText, Splits)
{
    const struct
    {
        QString text;
        QStringList items;
    } cases[] = {
        {QString(), {}},
        {QStringLiteral(" \t\r\n\x01"), {}},
        {QStringLiteral("  a , \tb  "), {"a", "b"}},
        {QStringLiteral("a,,b"), {"a", "", "b"}},
        {QStringLiteral(","), {"", ""}},
        // Only a comma that is the very last character adds an empty item.
        {QStringLiteral("a,"), {"a", ""}},
        {QStringLiteral("a, "), {"a"}},
        // Bare items end at blanks and control characters; the rest is the next item.
        {QStringLiteral("k=a b\x1F"
                        "c"),
         {"k=a", "b", "c"}},
        {QStringLiteral("x\"y="), {"x\"y="}},
        {QString::fromUtf16(u"a\0b,c", 5), {"a"}},
        {QStringLiteral("\"k=a, b\",c"), {"k=a, b", "c"}},
        {QStringLiteral("\"a\"\"b\"\"\""), {"a\"b\""}},
        {QStringLiteral("\"a\"b , \"\""), {"a", "b", ""}},
        // An unterminated quote runs to the end of the text.
        {QStringLiteral("a,\"b,c"), {"a", "b,c"}},
        {QStringLiteral("\""), {""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TCommaText::Split(c.text), c.items) << c.text.toStdString();
}

TEST(GraphConfigCommaText, JoinQuotesOnlyWhatSplitWouldBreak)
{
    const QStringList items{"k=plain", "k=a b", "k=\"q\"", "k=a,b", "k=\tx", "k=\x7F\u00E9", "k="};
    const QString line = TCommaText::Join(items);
    EXPECT_EQ(line, QStringLiteral("k=plain,\"k=a b\",\"k=\"\"q\"\"\",\"k=a,b\",\"k=\tx\","
                                   "k=\x7F\u00E9,k="));
    EXPECT_EQ(TCommaText::Split(line), items);
}

TEST(GraphConfigCommaText, LooksUpValues)
{
    const QStringList items{"noequals", "=x", "Key=first=1", "KEY=second", "Other="};
    EXPECT_EQ(TCommaText::Value(items, u"key"), QStringLiteral("first=1"));
    EXPECT_EQ(TCommaText::Value(items, u"other"), QString());
    EXPECT_EQ(TCommaText::Value(items, u"noequals"), QString());
    EXPECT_EQ(TCommaText::Value(items, u"Ke"), QString());
}

TEST(GraphConfigHexText, EncodesAndDecodes)
{
    EXPECT_EQ(THexText::Encode(QByteArray("\x00\x0A\xBC\xFF", 4)), QStringLiteral("000ABCFF"));
    EXPECT_EQ(THexText::Decode(u""), QByteArray());
    EXPECT_EQ(THexText::Decode(u"ABC"), QByteArray("\x0A\xBC", 2));
    EXPECT_EQ(THexText::Decode(u"aBcD"), QByteArray("\xAB\xCD", 2));
    EXPECT_EQ(THexText::Decode(u"A1ZZ33"), QByteArray("\xA1\x00\x00", 3));
    // Odd text is padded in front, so a bad last character spoils the pair it lands in.
    EXPECT_EQ(THexText::Decode(u"123G"), QByteArray("\x12\x00", 2));
    EXPECT_EQ(THexText::Decode(u"12G"), QByteArray("\x01\x00", 2));
    // Only ASCII digits count, not full-width ones.
    EXPECT_EQ(THexText::Decode(u"\uFF11\uFF12AB"), QByteArray("\x00\x00", 2));
}

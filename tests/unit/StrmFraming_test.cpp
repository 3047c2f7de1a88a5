#include "transfer/TStrmFraming.h"

#include <gtest/gtest.h>

namespace {

TEST(StrmFraming, LengthFieldsAreReadAsTheReceiverReadsThem)
{
    using TStrmFraming::ParseLength;
    EXPECT_EQ(ParseLength("         3"), 3);
    EXPECT_EQ(ParseLength("0005"), 5);
    EXPECT_EQ(ParseLength("0000"), 0);
    EXPECT_EQ(ParseLength("1000000000"), 1000000000);
    EXPECT_EQ(ParseLength("2147483647"), 2147483647);
    // Not a number: the connection is closed at once.
    for (const QByteArray& bad :
         {QByteArray(), QByteArray("    "), QByteArray("12a4"), QByteArray(" 12 "),
          QByteArray("2147483648"), QByteArray("9999999999"), QByteArray("0x10"), QByteArray("-"),
          QByteArray("\0\0\0\0", 4), QByteArray("1 2"), QByteArray("-000000005"),
          QByteArray("   -1"), QByteArray("+7")})
        EXPECT_FALSE(ParseLength(bad)) << bad.toHex().constData();
}

TEST(StrmFraming, FieldsAreFormattedAsTheWireWantsThem)
{
    EXPECT_EQ(TStrmFraming::NameHeader("a.txt"), QByteArray("0005a.txt"));
    EXPECT_EQ(TStrmFraming::NameHeader(""), QByteArray("0000"));
    EXPECT_EQ(TStrmFraming::NameHeader(QByteArray(12, 'x')).left(4), QByteArray("0012"));
    EXPECT_EQ(TStrmFraming::BodyLength(0), QByteArray("         0"));
    EXPECT_EQ(TStrmFraming::BodyLength(5120), QByteArray("      5120"));
    EXPECT_EQ(TStrmFraming::BodyLength(2147483647), QByteArray("2147483647"));
    EXPECT_EQ(TStrmFraming::Acknowledgement(), QByteArray("OK").append(14, ' '));
}

} // namespace

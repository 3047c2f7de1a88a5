#include "transfer/SockConst.h"
#include "transfer/TStrmFraming.h"

#include <gtest/gtest.h>

#include <cerrno>

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
    EXPECT_EQ(TStrmFraming::Acknowledgement(), QByteArray("OK").append(14, ' '));
}

TEST(SockConst, SocketErrorsReadAsTheOtherCopiesWriteThem)
{
    EXPECT_EQ(SockConst::FromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(SockConst::FromErrno(EAGAIN), SockConst::WouldBlock);
    EXPECT_EQ(SockConst::FromErrno(EWOULDBLOCK), SockConst::WouldBlock);
    EXPECT_EQ(SockConst::FromErrno(ECONNRESET), 10054);
    EXPECT_EQ(SockConst::FromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(SockConst::FromErrno(EHOSTUNREACH), 10065);
    EXPECT_EQ(SockConst::FromErrno(EADDRINUSE), 10048);
    EXPECT_EQ(SockConst::ErrorMessage(10061), QString("10061:Connection refused"));
    EXPECT_EQ(SockConst::ErrorMessage(11001), QString("11001:Host not found"));
    EXPECT_EQ(SockConst::ErrorMessage(10004), QString("10004:Interrupted system call"));
    EXPECT_EQ(SockConst::ErrorText(10090), QString("Unknown Error No. 10090"));
    // An errno without a counterpart still reads as a socket error the table does not know.
    const int unknown = SockConst::FromErrno(ENOEXEC);
    EXPECT_GT(unknown, 10000);
    EXPECT_TRUE(SockConst::ErrorText(unknown).startsWith("Unknown Error No. "));
}

} // namespace

#include "app/TLocalAddress.h"

#include <gtest/gtest.h>

namespace {

QList<QHostAddress> Addresses(std::initializer_list<const char*> texts)
{
    QList<QHostAddress> list;
    for (const char* t : texts)
        list.append(QHostAddress(QString::fromLatin1(t)));
    return list;
}

TEST(LocalAddress, TheLastResolvedIPv4AddressIsShown)
{
    EXPECT_EQ(
        TLocalAddress::Choose(Addresses({"192.0.2.1", "fe80::1", "198.51.100.9", "2001:db8::5"}),
                              Addresses({"203.0.113.4"})),
        "198.51.100.9");
}

TEST(LocalAddress, LoopbackIsReplacedByTheFirstInterfaceAddress)
{
    const auto interfaces =
        Addresses({"127.0.0.1", "::1", "fe80::2", "169.254.10.2", "203.0.113.4"});
    EXPECT_EQ(TLocalAddress::Choose(Addresses({"127.0.1.1"}), interfaces), "169.254.10.2");
    EXPECT_EQ(TLocalAddress::Choose(Addresses({"127.0.1.1"}), Addresses({"127.0.0.1", "::1"})), "");
}

TEST(LocalAddress, NothingResolvedGivesEmpty)
{
    EXPECT_EQ(TLocalAddress::Choose({}, Addresses({"203.0.113.4"})), "");
    EXPECT_EQ(TLocalAddress::Choose(Addresses({"2001:db8::5"}), Addresses({"203.0.113.4"})), "");
}

} // namespace

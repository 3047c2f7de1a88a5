#include "calls/TSignalMessage.h"
#include "platform/text/TRemoteText.h"

#include <gtest/gtest.h>

namespace {

TEST(RemoteText, HiddenCharactersBecomeSpacesAndPairsStayWhole)
{
    // Line breaks, a right-to-left override, a zero-width joiner and a lone surrogate.
    const QString text = QStringLiteral("a\nb\r") + QChar(0x202e) + QStringLiteral("c") +
                         QChar(0x200d) + QChar(0xdc00) + QChar(0x2028) + QStringLiteral("d");
    EXPECT_EQ(TRemoteText::Clean(text), QStringLiteral("a b  c   d"));

    // "x" and two characters outside the basic plane (two code units each): a cut keeps a pair
    // whole or drops it, never half of it.
    const QString emoji =
        QStringLiteral("x") + QString::fromUcs4(U"\U0001F600") + QString::fromUcs4(U"\U0001F600");
    EXPECT_EQ(TRemoteText::Clean(emoji, 5), emoji);
    EXPECT_EQ(TRemoteText::Clean(emoji, 4), emoji.left(3));
    EXPECT_EQ(TRemoteText::Clean(emoji, 2), QStringLiteral("x"));
    EXPECT_EQ(TRemoteText::Clean(QString(5000, QChar('w'))).size(), TRemoteText::MaxChars);
}

TEST(SignalMessage, CallerIDIsWhatFollowsTheFirstEightCharacters)
{
    using K = TSignalMessage::TKind;
    EXPECT_EQ(TSignalMessage::Classify("Calling|Anna").callerID, QStringLiteral("Anna"));
    EXPECT_EQ(TSignalMessage::Classify("Calling|").kind, K::CallRequest);
    EXPECT_TRUE(TSignalMessage::Classify("Calling|").callerID.isEmpty());
    EXPECT_EQ(TSignalMessage::Classify("a|b").kind, K::CallRequest);
    EXPECT_TRUE(TSignalMessage::Classify("a|b").callerID.isEmpty());
    EXPECT_EQ(TSignalMessage::Classify("Accept").kind, K::Accept);
    EXPECT_EQ(TSignalMessage::Classify("Accept ").kind, K::StatusText);
    EXPECT_EQ(TSignalMessage::Classify("Cancel").kind, K::Cancel);
    EXPECT_EQ(TSignalMessage::Classify(QByteArray("Cancel\0", 7)).kind, K::StatusText);
    // Not UTF-8: replaced characters, never a crash or a lost message.
    const TSignalMessage odd = TSignalMessage::Classify(QByteArray::fromHex("ff7c41"));
    EXPECT_EQ(odd.kind, K::CallRequest);
}

} // namespace

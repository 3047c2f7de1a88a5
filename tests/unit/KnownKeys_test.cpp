// The keys met before: pins through the file and a reload, what a changed key does to them,
// and files that are not what they should be.
#include "app/TPeerKeyBook.h"
#include "contacts/TKnownKeys.h"
#include "platform/crypto/TIdentity.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray Key(char fill)
{
    return QByteArray(32, fill);
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(KnownKeys, PinsOutliveARestartAndAChangedKeyMovesThemOnlyWhenAccepted)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(TKnownKeys::FileName);
    const QHostAddress bea("169.254.9.2");
    {
        TKnownKeys known = TKnownKeys::Load(path);
        TPeerKeyBook book(known, nullptr);
        EXPECT_FALSE(book.Expected(bea).secure);
        EXPECT_EQ(book.Seen(bea, Key('a'), false), IPeerKeys::TState::New);
        EXPECT_EQ(book.Seen(bea, Key('a'), false), IPeerKeys::TState::Same);
    }
    TKnownKeys known = TKnownKeys::Load(path);
    ASSERT_TRUE(known.Notice().isEmpty());
    TPeerKeyBook book(known, nullptr);
    EXPECT_TRUE(book.Expected(bea).secure);
    EXPECT_EQ(book.Expected(bea).key, Key('a'));
    // Another key at the same address: told, and the pin stays, also across a restart.
    EXPECT_EQ(book.Seen(bea, Key('b'), false), IPeerKeys::TState::Changed);
    EXPECT_EQ(TKnownKeys::Load(path).PinFor(bea), Key('a'));
    // Until the user accepts it.
    EXPECT_EQ(book.Seen(bea, Key('b'), true), IPeerKeys::TState::Changed);
    EXPECT_EQ(TKnownKeys::Load(path).PinFor(bea), Key('b'));

    // The user's comparison of the numbers sticks to the key, across a restart: found the same,
    // the key is verified; found different, it stays suspect.
    known.SetState(Key('b'), QStringLiteral("verified"));
    TKnownKeys reloaded = TKnownKeys::Load(path);
    TPeerKeyBook again(reloaded, nullptr);
    EXPECT_EQ(again.Seen(bea, Key('b'), false), IPeerKeys::TState::Verified);
    reloaded.SetState(Key('b'), QStringLiteral("refused"));
    EXPECT_EQ(again.Seen(bea, Key('b'), false), IPeerKeys::TState::Changed);
}

TEST(KnownKeys, AFileThatIsNotOneOfKeysIsSetAsideWholeAndTheKeysAreLearntAgain)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(TKnownKeys::FileName);
    const QList<QByteArray> broken = {
        "[Key " + TIdentity::Base32(Key('a')).toLatin1() + "]\nName=Bea\nthis line is nonsense\n",
        QByteArray(TKnownKeys::MaxFileSize + 1, 'x'),
    };
    for (const QByteArray& bytes : broken) {
        Write(path, bytes);
        TKnownKeys known = TKnownKeys::Load(path);
        EXPECT_FALSE(known.Notice().isEmpty());
        EXPECT_FALSE(QFile::exists(path));
        const QStringList aside =
            QDir(dir.path()).entryList({QStringLiteral("KnownKeys.ini.broken-*")}, QDir::Files);
        ASSERT_EQ(aside.size(), 1);
        QFile kept(dir.filePath(aside.first()));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), bytes) << "nothing of it is lost";
        kept.remove();
        // Learning goes on as usual.
        known.Record(QHostAddress("169.254.9.3"), Key('c'), QStringLiteral("Cy"), "handshake");
        EXPECT_EQ(TKnownKeys::Load(path).PinFor(QHostAddress("169.254.9.3")), Key('c'));
        QFile::remove(path);
    }
}

TEST(KnownKeys, WhatTheFileCannotMeanIsLeftOutAndNamesStayOneLine)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(TKnownKeys::FileName);
    const QByteArray good = TIdentity::Base32(Key('g')).toLatin1();
    Write(path, "[Key " + good +
                    "]\nName=Eve\x01\x1b[2Jx\nAddresses=169.254.1.1,not-an-address\n"
                    "State=owned\n[Key " +
                    good.toLower() +
                    "]\nName=lower\n[Key AAAA]\nName=short\n"
                    "[Address 169.254.1.1]\nKey=" +
                    good +
                    "\n[Address 169.254.1.2]\nKey=" + TIdentity::Base32(Key('z')).toLatin1() +
                    "\n[Address 999.1.1.1]\nKey=" + good + "\n");
    const TKnownKeys known = TKnownKeys::Load(path);
    EXPECT_TRUE(known.Notice().isEmpty());
    const TKnownKeys::TKey* key = known.Find(Key('g'));
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->name, QString("Eve  [2Jx"));
    EXPECT_EQ(key->addresses, QStringList{"169.254.1.1"});
    EXPECT_EQ(key->state, QString("seen"));
    EXPECT_EQ(known.PinFor(QHostAddress("169.254.1.1")), Key('g'));
    EXPECT_FALSE(known.PinFor(QHostAddress("169.254.1.2"))) << "a pin to a key the file lacks";
}

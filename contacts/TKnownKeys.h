#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>

// The keys of the copies this one has met, kept in "KnownKeys.ini" beside the settings: per
// key its name, the addresses it was seen at, when it was first and last seen, how it was
// learnt and whether the user verified it; per address the last key seen there (its pin).
// A file that cannot be read is set aside, never deleted, and the keys are learnt again.
class TKnownKeys
{
public:
    static constexpr const char* FileName = "KnownKeys.ini";
    // However large the file, no more keys than this are kept, nor addresses per key.
    static constexpr int MaxKeys = 4096;
    static constexpr int MaxAddresses = 8;
    static constexpr qint64 MaxFileSize = 1024 * 1024;

    struct TKey
    {
        QString name;
        QStringList addresses;
        QDateTime firstSeen;
        QDateTime lastSeen;
        QString state = QStringLiteral("seen"); // seen, verified, refused
        QString from;                           // handshake, txt, pasted
    };

    // Reads the file at path (none: nothing known yet).
    static TKnownKeys Load(const QString& path);

    // The pin of an address: the fingerprint last seen there, with what is known of it.
    std::optional<QByteArray> PinFor(const QHostAddress& address) const;
    const TKey* Find(const QByteArray& fingerprint) const;
    // A good exchange with the key at that address: the address is pinned to it, the key's
    // name and times kept. Written at once; a failed write is logged and tried again next time.
    void Record(const QHostAddress& address, const QByteArray& fingerprint, const QString& name,
                const QString& from);

    // The address is pinned to no key any more (the keys themselves are kept).
    void Forget(const QHostAddress& address);
    // The user compared the numbers of a call with that key: "verified" or "refused".
    void SetState(const QByteArray& fingerprint, const QString& state);

    // For the user, once: why the file was set aside. Empty when it was read or absent.
    QString Notice() const { return notice_; }
    // A 52-character base-32 fingerprint as its 32 bytes; empty when it is not one.
    static QByteArray ParseFingerprint(const QString& text);

private:
    void Save() const;

    QString path_;
    std::map<QByteArray, TKey> keys_;
    std::map<quint32, QByteArray> pins_;
    QString notice_;
};

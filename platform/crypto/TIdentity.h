#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

struct evp_pkey_st;

// This copy's own key (Ed25519), kept in one file that only the user can read. It is made on
// the first start; a file that cannot be read is moved aside, never deleted, and a new key is
// made. Peers know the copy by its fingerprint: SHA-256 over the public key (SubjectPublicKeyInfo).
class TIdentity
{
public:
    static constexpr const char* FileName = "Identity.key";

    // Loads the key at path, or makes one there. Never throws; Usable() tells whether a key came.
    static TIdentity Load(const QString& path);

    TIdentity(TIdentity&&) noexcept;
    TIdentity& operator=(TIdentity&&) noexcept;
    ~TIdentity();

    // False when the file cannot be trusted (not a regular file, another user's) or cannot be
    // made; the copy then encrypts nothing, and Problem() says why.
    bool Usable() const { return key_ != nullptr; }
    evp_pkey_st* Key() const { return key_.get(); }
    // The 32 bytes of the fingerprint; empty when not usable.
    QByteArray Fingerprint() const { return fingerprint_; }
    // The whole fingerprint in base 32 (52 characters), as copies announce it.
    QString FingerprintText() const;
    // Its first 128 bits in base 32, in groups of four ("7QK4 M2XA ..."), as the user reads it.
    QString ShortText() const;

    // For the user, once: why the copy runs without a key, or that a new one replaced a broken
    // file. Empty when all went as it should.
    QString Notice() const { return notice_; }

    static QString Base32(const QByteArray& bytes);
    // Any fingerprint as ShortText shows this copy's.
    static QString ShortTextOf(const QByteArray& fingerprint);
    // The fingerprint of any public key; empty when it cannot be encoded.
    static QByteArray FingerprintOf(evp_pkey_st* key);

private:
    struct TFree
    {
        void operator()(evp_pkey_st* key) const;
    };
    TIdentity() = default;

    std::unique_ptr<evp_pkey_st, TFree> key_;
    QByteArray fingerprint_;
    QString notice_;
};

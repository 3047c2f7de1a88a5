#include "platform/crypto/TIdentity.h"

#include "platform/logging/Logging.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/sha.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A key file is a few hundred bytes; anything far larger is not one.
constexpr qint64 MaxKeyFile = 64 * 1024;

const QString BrokenNotice = QStringLiteral(
    "Your key could not be read; a new one was made. Your contacts will see a key change.");

QString Errno()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

struct TBioFree
{
    void operator()(BIO* bio) const { BIO_free(bio); }
};
using TBio = std::unique_ptr<BIO, TBioFree>;

bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

void SyncFolder(const QString& folder)
{
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

void TIdentity::TFree::operator()(evp_pkey_st* key) const
{
    EVP_PKEY_free(key);
}

TIdentity::TIdentity(TIdentity&&) noexcept = default;
TIdentity& TIdentity::operator=(TIdentity&&) noexcept = default;
TIdentity::~TIdentity() = default;

QString TIdentity::Base32(const QByteArray& bytes)
{
    static constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
    QString text;
    quint32 buffer = 0;
    int bits = 0;
    for (const char c : bytes) {
        buffer = (buffer << 8) | quint8(c);
        bits += 8;
        while (bits >= 5) {
            text += QLatin1Char(Alphabet[(buffer >> (bits - 5)) & 31]);
            bits -= 5;
        }
    }
    if (bits > 0)
        text += QLatin1Char(Alphabet[(buffer << (5 - bits)) & 31]);
    return text;
}

QString TIdentity::FingerprintText() const
{
    return Base32(fingerprint_);
}

QString TIdentity::ShortText() const
{
    return ShortTextOf(fingerprint_);
}

QString TIdentity::ShortTextOf(const QByteArray& fingerprint)
{
    const QString text = Base32(fingerprint.left(16));
    QStringList groups;
    for (qsizetype i = 0; i < text.size(); i += 4)
        groups << text.mid(i, 4);
    return groups.join(QLatin1Char(' '));
}

namespace {

// The key in a file's text, when it is an Ed25519 private key.
EVP_PKEY* ParseKey(const QByteArray& text)
{
    TBio bio(BIO_new_mem_buf(text.constData(), int(text.size())));
    EVP_PKEY* key = bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr;
    if (key && EVP_PKEY_get_base_id(key) != EVP_PKEY_ED25519) {
        EVP_PKEY_free(key);
        key = nullptr;
    }
    return key;
}

} // namespace

QByteArray TIdentity::FingerprintOf(EVP_PKEY* key)
{
    unsigned char* der = nullptr;
    const int size = i2d_PUBKEY(key, &der);
    if (size <= 0)
        return {};
    QByteArray digest(SHA256_DIGEST_LENGTH, Qt::Uninitialized);
    SHA256(der, size_t(size), reinterpret_cast<unsigned char*>(digest.data()));
    OPENSSL_free(der);
    return digest;
}

namespace {

// Writes a new key to path, made private from its first byte: a temporary file that only the
// user can open, synced, then put in place unless something is there already.
EVP_PKEY* CreateKey(const QString& path, QString* error)
{
    EVP_PKEY* key = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
    if (!key) {
        *error = QStringLiteral("no key could be made");
        return nullptr;
    }
    TBio bio(BIO_new(BIO_s_mem()));
    char* pem = nullptr;
    long pemSize = 0;
    if (!bio || !PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) ||
        (pemSize = BIO_get_mem_data(bio.get(), &pem)) <= 0) {
        EVP_PKEY_free(key);
        *error = QStringLiteral("the key could not be written out");
        return nullptr;
    }
    const QString folder = QFileInfo(path).absolutePath();
    QDir().mkpath(folder);
    QByteArray temp = QFile::encodeName(path) + ".new-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC); // mode 0600 from the start
    bool written = fd >= 0 && ::fchmod(fd, 0600) == 0 && WriteAll(fd, pem, size_t(pemSize)) &&
                   ::fsync(fd) == 0;
    if (!written)
        *error = Errno();
    if (fd >= 0)
        ::close(fd);
    if (written && ::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD,
                               QFile::encodeName(path).constData(), RENAME_NOREPLACE) != 0) {
        *error = Errno();
        written = false;
    }
    if (!written) {
        if (fd >= 0)
            ::unlink(temp.constData());
        EVP_PKEY_free(key);
        return nullptr;
    }
    SyncFolder(folder);
    return key;
}

// Moves a file that is no key aside, under a name that keeps everything that was there.
bool MoveAside(const QString& path)
{
    const QString base = path + QStringLiteral(".broken-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    for (int n = 0; n < 100; ++n) {
        const QString to = n == 0 ? base : base + QStringLiteral("-%1").arg(n);
        if (::renameat2(AT_FDCWD, QFile::encodeName(path).constData(), AT_FDCWD,
                        QFile::encodeName(to).constData(), RENAME_NOREPLACE) == 0)
            return true;
        if (errno != EEXIST)
            return false;
    }
    return false;
}

} // namespace

TIdentity TIdentity::Load(const QString& path)
{
    TIdentity identity;
    const QByteArray name = QFile::encodeName(path);
    auto without = [&](const QString& why) {
        qCWarning(lcCrypto).noquote() << "no key:" << why;
        identity.notice_ = QCoreApplication::translate(
                               "TIdentity", "Calls, files and messages are not encrypted: %1")
                               .arg(why);
        return std::move(identity);
    };
    auto created = [&](const QString& notice) {
        QString error;
        identity.key_.reset(CreateKey(path, &error));
        if (!identity.key_)
            return without(QStringLiteral("%1 cannot be made (%2).").arg(path, error));
        identity.fingerprint_ = FingerprintOf(identity.key_.get());
        identity.notice_ = notice;
        qCInfo(lcCrypto).noquote() << "made a new key" << identity.FingerprintText().left(8);
        return std::move(identity);
    };

    struct stat st
    {};
    if (::lstat(name.constData(), &st) != 0) {
        if (errno == ENOENT)
            return created(QString());
        return without(QStringLiteral("%1 cannot be read (%2).").arg(path, Errno()));
    }
    if (!S_ISREG(st.st_mode))
        return without(QStringLiteral("%1 is not a file of its own.").arg(path));
    if (st.st_uid != ::geteuid())
        return without(QStringLiteral("%1 belongs to another user.").arg(path));
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return without(QStringLiteral("%1 cannot be read (%2).").arg(path, Errno()));
    // Others could read it: made private again rather than refused, so the key stays the same.
    if ((st.st_mode & 077) != 0) {
        if (::fchmod(fd, 0600) == 0)
            qCWarning(lcCrypto).noquote() << path << "could be read by others; it is private now";
        else
            qCWarning(lcCrypto).noquote() << path << "could be read by others:" << Errno();
    }
    QByteArray text;
    if (st.st_size <= MaxKeyFile) {
        text.resize(qsizetype(st.st_size));
        qsizetype got = 0;
        while (got < text.size()) {
            const ssize_t n = ::read(fd, text.data() + got, size_t(text.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
        }
        text.truncate(got);
    }
    ::close(fd);
    identity.key_.reset(ParseKey(text));
    if (identity.key_) {
        identity.fingerprint_ = FingerprintOf(identity.key_.get());
        return identity;
    }
    qCWarning(lcCrypto).noquote() << path << "holds no key; it is moved aside";
    if (!MoveAside(path))
        return without(
            QStringLiteral("%1 holds no key and cannot be moved aside (%2).").arg(path, Errno()));
    return created(BrokenNotice);
}

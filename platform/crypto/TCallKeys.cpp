#include "platform/crypto/TCallKeys.h"

#include <QCryptographicHash>

#include <openssl/crypto.h>

#include <algorithm>
#include <utility>

namespace {

template <class T> void Take(T& into, const char*& from)
{
    std::copy(from, from + into.size(), into.begin());
    from += into.size();
}

} // namespace

std::optional<TCallKeys> TCallKeys::Cut(const QByteArray& exported, bool caller)
{
    if (exported.size() != ExportSize)
        return std::nullopt;
    TCallKeys keys;
    // In the exporter's order: caller to callee first, then callee to caller.
    const char* at = exported.constData();
    Take(caller ? keys.srtpOut : keys.srtpIn, at);
    Take(caller ? keys.srtpIn : keys.srtpOut, at);
    Take(caller ? keys.videoOut : keys.videoIn, at);
    Take(caller ? keys.videoIn : keys.videoOut, at);
    Take(keys.sas, at);
    return keys;
}

QString TCallKeys::Numbers(const TSecret& sasSecret, const QByteArray& callerNonce,
                           const QByteArray& calleeNonce)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(sasSecret.data()), SecretSize));
    hash.addData(callerNonce);
    hash.addData(calleeNonce);
    const QByteArray digest = hash.result();
    const quint32 first = quint32(uchar(digest[0])) << 24 | quint32(uchar(digest[1])) << 16 |
                          quint32(uchar(digest[2])) << 8 | quint32(uchar(digest[3]));
    const QString six = QStringLiteral("%1").arg(first % 1000000u, 6, 10, QLatin1Char('0'));
    return six.left(3) + QLatin1Char(' ') + six.mid(3);
}

TCallKeys::TCallKeys(TCallKeys&& other) noexcept
    : srtpOut(other.srtpOut), srtpIn(other.srtpIn), videoOut(other.videoOut),
      videoIn(other.videoIn), sas(other.sas)
{
    other.Wipe();
}

TCallKeys& TCallKeys::operator=(TCallKeys&& other) noexcept
{
    if (this != &other) {
        srtpOut = other.srtpOut;
        srtpIn = other.srtpIn;
        videoOut = other.videoOut;
        videoIn = other.videoIn;
        sas = other.sas;
        other.Wipe();
    }
    return *this;
}

TCallKeys::~TCallKeys()
{
    Wipe();
}

void TCallKeys::Wipe()
{
    for (auto* key : {&srtpOut, &srtpIn})
        OPENSSL_cleanse(key->data(), key->size());
    for (auto* secret : {&videoOut, &videoIn, &sas})
        OPENSSL_cleanse(secret->data(), secret->size());
}

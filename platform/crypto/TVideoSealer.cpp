#include "platform/crypto/TVideoSealer.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <limits>

TVideoSealer::TVideoSealer(const TCallKeys::TSecret& secret, quint16 firstEpoch)
    : secret_(secret), epoch_(firstEpoch), ctx_(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free)
{
    spent_ = !ctx_ || !Rekey(firstEpoch);
}

TVideoSealer::~TVideoSealer()
{
    key_.Wipe();
    OPENSSL_cleanse(secret_.data(), secret_.size());
}

bool TVideoSealer::Rekey(quint16 epoch)
{
    const std::optional<TVideoKey> key = TVideoKey::Derive(secret_, epoch);
    if (!key)
        return false;
    key_.Wipe();
    key_ = *key;
    epoch_ = epoch;
    sequence_ = 0;
    return EVP_EncryptInit_ex(ctx_.get(), EVP_aes_128_gcm(), nullptr, key_.key.data(), nullptr) ==
           1;
}

QByteArray TVideoSealer::Seal(QByteArrayView jpeg)
{
    if (!spent_ && sequence_ == EpochLength) {
        // No number is used twice under one key: past the last epoch nothing is sealed.
        spent_ = epoch_ == std::numeric_limits<quint16>::max() || !Rekey(quint16(epoch_ + 1));
    }
    if (spent_ || jpeg.size() > std::numeric_limits<int>::max() - Overhead)
        return {};
    QByteArray out(HeaderSize + jpeg.size() + TagSize, Qt::Uninitialized);
    auto* o = reinterpret_cast<unsigned char*>(out.data());
    o[0] = 'P';
    o[1] = 'V';
    o[2] = Version;
    o[3] = 0;
    o[4] = uchar(epoch_ >> 8);
    o[5] = uchar(epoch_);
    for (int i = 0; i < 6; ++i)
        o[6 + i] = uchar(sequence_ >> (8 * (5 - i)));
    const std::array<unsigned char, 12> nonce = key_.Nonce(sequence_);
    int n = 0;
    EVP_CIPHER_CTX* ctx = ctx_.get();
    const bool sealed =
        EVP_EncryptInit_ex(ctx, nullptr, nullptr, nullptr, nonce.data()) == 1 &&
        EVP_EncryptUpdate(ctx, nullptr, &n, o, HeaderSize) == 1 &&
        EVP_EncryptUpdate(ctx, o + HeaderSize, &n,
                          reinterpret_cast<const unsigned char*>(jpeg.data()),
                          int(jpeg.size())) == 1 &&
        EVP_EncryptFinal_ex(ctx, o + HeaderSize + n, &n) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_GET_TAG, TagSize, o + HeaderSize + jpeg.size()) == 1;
    ++sequence_; // spent even when the cipher failed: a nonce is never tried twice
    if (!sealed) {
        spent_ = true;
        return {};
    }
    return out;
}

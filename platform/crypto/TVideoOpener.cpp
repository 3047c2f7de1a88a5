#include "platform/crypto/TVideoOpener.h"

#include "platform/crypto/TVideoSealer.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

TVideoOpener::TVideoOpener(const TCallKeys::TSecret& secret, quint16 firstEpoch)
    : secret_(secret), ctx_(EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free)
{
    if (std::optional<TVideoKey> key = TVideoKey::Derive(secret_, firstEpoch))
        current_ = TEpoch{firstEpoch, *key, {}, {}};
}

TVideoOpener::~TVideoOpener()
{
    for (std::optional<TEpoch>* epoch : {&current_, &previous_})
        if (*epoch)
            (*epoch)->key.Wipe();
    OPENSSL_cleanse(secret_.data(), secret_.size());
}

std::optional<QByteArray> TVideoOpener::Fail()
{
    ++failures_;
    return std::nullopt;
}

std::optional<QByteArray> TVideoOpener::Open(QByteArrayView datagram)
{
    constexpr int Header = TVideoSealer::HeaderSize;
    if (!current_ || !ctx_ || datagram.size() < TVideoSealer::Overhead)
        return Fail();
    const auto* d = reinterpret_cast<const unsigned char*>(datagram.data());
    if (d[0] != 'P' || d[1] != 'V' || d[2] != TVideoSealer::Version || d[3] != 0)
        return Fail();
    const quint16 number = quint16(d[4] << 8 | d[5]);
    quint64 sequence = 0;
    for (int i = 6; i < Header; ++i)
        sequence = sequence << 8 | d[i];
    if (sequence >= TVideoSealer::EpochLength)
        return Fail();

    TEpoch* epoch = nullptr;
    std::optional<TEpoch> next;
    if (number == current_->number) {
        epoch = &*current_;
    } else if (previous_ && number == previous_->number &&
               clock() - previous_->retired < PreviousEpochKept) {
        epoch = &*previous_;
    } else if (number == quint16(current_->number + 1) && current_->number != 0xFFFF) {
        std::optional<TVideoKey> key = TVideoKey::Derive(secret_, number);
        if (!key)
            return Fail();
        next = TEpoch{number, *key, {}, {}};
        key->Wipe();
        epoch = &*next;
    } else {
        return Fail();
    }
    if (!epoch->window.Fresh(sequence)) {
        ++replays_;
        return std::nullopt;
    }
    QByteArray jpeg;
    if (!Decrypt(epoch->key, sequence, datagram, &jpeg))
        return Fail();
    epoch->window.Note(sequence);
    if (next) {
        // The peer has moved on: its last epoch stays a while for what it sent before.
        if (previous_)
            previous_->key.Wipe();
        previous_ = std::move(current_);
        previous_->retired = clock();
        current_ = std::move(next);
    }
    return jpeg;
}

bool TVideoOpener::Decrypt(const TVideoKey& key, quint64 sequence, QByteArrayView datagram,
                           QByteArray* out)
{
    constexpr int Header = TVideoSealer::HeaderSize;
    constexpr int Tag = TVideoSealer::TagSize;
    const auto* d = reinterpret_cast<const unsigned char*>(datagram.data());
    const int length = int(datagram.size()) - Header - Tag;
    out->resize(length);
    const std::array<unsigned char, 12> nonce = key.Nonce(sequence);
    EVP_CIPHER_CTX* ctx = ctx_.get();
    int n = 0;
    const bool opened =
        EVP_DecryptInit_ex(ctx, EVP_aes_128_gcm(), nullptr, key.key.data(), nonce.data()) == 1 &&
        EVP_DecryptUpdate(ctx, nullptr, &n, d, Header) == 1 &&
        EVP_DecryptUpdate(ctx, reinterpret_cast<unsigned char*>(out->data()), &n, d + Header,
                          length) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_SET_TAG, Tag,
                            const_cast<unsigned char*>(d + Header + length)) == 1 &&
        EVP_DecryptFinal_ex(ctx, reinterpret_cast<unsigned char*>(out->data()) + n, &n) == 1;
    if (!opened)
        OPENSSL_cleanse(out->data(), size_t(out->size()));
    return opened;
}

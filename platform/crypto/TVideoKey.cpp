#include "platform/crypto/TVideoKey.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/kdf.h>
#include <openssl/params.h>

#include <memory>

std::optional<TVideoKey> TVideoKey::Derive(const TCallKeys::TSecret& secret, quint16 epoch)
{
    std::unique_ptr<EVP_KDF, decltype(&EVP_KDF_free)> kdf(EVP_KDF_fetch(nullptr, "HKDF", nullptr),
                                                          &EVP_KDF_free);
    std::unique_ptr<EVP_KDF_CTX, decltype(&EVP_KDF_CTX_free)> ctx(
        kdf ? EVP_KDF_CTX_new(kdf.get()) : nullptr, &EVP_KDF_CTX_free);
    if (!ctx)
        return std::nullopt;
    unsigned char info[] = {'p',         'a', 'r', 'l', 'a',
                            'v',         'u', 'e', ' ', 'v',
                            'i',         'd', 'e', 'o', uchar(epoch >> 8),
                            uchar(epoch)};
    int mode = EVP_KDF_HKDF_MODE_EXPAND_ONLY;
    char digest[] = "SHA256";
    const OSSL_PARAM params[] = {
        OSSL_PARAM_construct_int(OSSL_KDF_PARAM_MODE, &mode),
        OSSL_PARAM_construct_utf8_string(OSSL_KDF_PARAM_DIGEST, digest, 0),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_KEY,
                                          const_cast<unsigned char*>(secret.data()), secret.size()),
        OSSL_PARAM_construct_octet_string(OSSL_KDF_PARAM_INFO, info, sizeof info),
        OSSL_PARAM_construct_end()};
    unsigned char out[28];
    if (EVP_KDF_derive(ctx.get(), out, sizeof out, params) != 1)
        return std::nullopt;
    TVideoKey made;
    std::copy(out, out + 16, made.key.begin());
    std::copy(out + 16, out + 28, made.iv.begin());
    OPENSSL_cleanse(out, sizeof out);
    return made;
}

std::array<unsigned char, 12> TVideoKey::Nonce(quint64 sequence) const
{
    std::array<unsigned char, 12> nonce = iv;
    for (int i = 0; i < 6; ++i)
        nonce[11 - i] ^= uchar(sequence >> (8 * i));
    return nonce;
}

void TVideoKey::Wipe()
{
    OPENSSL_cleanse(key.data(), key.size());
    OPENSSL_cleanse(iv.data(), iv.size());
}

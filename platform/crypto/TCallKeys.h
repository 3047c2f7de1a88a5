#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

// The keys of one encrypted call, cut from the channel's exporter output: the SRTP master key
// and salt and a secret for the pictures per direction, as this end sends and receives, and the
// secret of the numbers both users compare. Held for the call only and wiped when it goes;
// never copied, written or logged.
class TCallKeys
{
public:
    static constexpr const char* ExporterLabel = "EXPORTER-parlavue call v1";
    static constexpr int SrtpSize = 16 + 12; // master key, then salt
    static constexpr int SecretSize = 32;
    static constexpr int ExportSize = 2 * SrtpSize + 3 * SecretSize;
    using TSrtp = std::array<unsigned char, SrtpSize>;
    using TSecret = std::array<unsigned char, SecretSize>;

    // From ExportSize exported bytes, as the caller or the callee sees them.
    static std::optional<TCallKeys> Cut(const QByteArray& exported, bool caller);
    // The six digits both users read out, "482 913": from the secret and both nonces of the
    // commitment exchange, so neither side could choose them.
    static QString Numbers(const TSecret& sasSecret, const QByteArray& callerNonce,
                           const QByteArray& calleeNonce);

    TCallKeys(const TCallKeys&) = delete;
    TCallKeys& operator=(const TCallKeys&) = delete;
    TCallKeys(TCallKeys&& other) noexcept;
    TCallKeys& operator=(TCallKeys&& other) noexcept;
    ~TCallKeys();

    TSrtp srtpOut{};
    TSrtp srtpIn{};
    TSecret videoOut{};
    TSecret videoIn{};
    TSecret sas{};

private:
    TCallKeys() = default;
    void Wipe();
};

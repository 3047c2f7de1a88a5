// libFuzzer target for sealed pictures: whatever bytes come as a datagram, nothing opens that
// the key did not seal; a sealed picture opens whole exactly once, and with any byte changed
// not at all.
#include "platform/crypto/TVideoOpener.h"
#include "platform/crypto/TVideoSealer.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 70000)
        return 0;
    static const TCallKeys::TSecret secret = [] {
        TCallKeys::TSecret s{};
        for (size_t i = 0; i < s.size(); ++i)
            s[i] = uint8_t(i * 11 + 5);
        return s;
    }();
    TVideoSealer sealer(secret);
    TVideoOpener opener(secret);
    const QByteArray body(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    if (opener.Open(body))
        std::abort(); // a forgery that verified
    const QByteArray sealed = sealer.Seal(body);
    if (sealed.size() != body.size() + TVideoSealer::Overhead)
        std::abort();
    if (data[1] != 0) {
        QByteArray changed = sealed;
        const qsizetype at = qsizetype(data[0]) % changed.size();
        changed[at] = char(changed[at] ^ data[1]);
        if (opener.Open(changed))
            std::abort();
    }
    const std::optional<QByteArray> opened = opener.Open(sealed);
    if (!opened || *opened != body || opener.Open(sealed))
        std::abort();
    return 0;
}

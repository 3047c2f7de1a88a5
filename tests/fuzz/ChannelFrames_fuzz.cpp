// libFuzzer target for the frames of the secure channel: whatever a peer sends, frames are
// taken only with a length the format allows, taking stops at the first bad length, what is
// taken encodes back to exactly the bytes it came from, and a hello is accepted only in the
// shapes a sender makes.
#include "platform/crypto/TChannelFrames.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 65536)
        return 0;
    QByteArray buffer(reinterpret_cast<const char*>(data), qsizetype(size));
    qsizetype consumed = 0;
    for (;;) {
        const QByteArray before = buffer;
        TChannelFrames::TFrame frame;
        const TChannelFrames::TTake took = TChannelFrames::Take(buffer, &frame);
        if (took != TChannelFrames::TTake::Frame) {
            if (buffer != before)
                std::abort(); // nothing is taken from a buffer that gave no frame
            if (took == TChannelFrames::TTake::More &&
                before.size() >= 2 + TChannelFrames::MaxLength)
                std::abort(); // a whole frame of any allowed length was there
            break;
        }
        const QByteArray encoded = TChannelFrames::Encode(frame.type, frame.payload);
        if (encoded.size() + buffer.size() != before.size() || !before.startsWith(encoded))
            std::abort();
        consumed += encoded.size();
        if (const auto hello = TChannelFrames::ParseHello(frame)) {
            if (TChannelFrames::EncodeHello(hello->kind, hello->callId) != encoded)
                std::abort();
        }
    }
    if (consumed > qsizetype(size))
        std::abort();
    return 0;
}

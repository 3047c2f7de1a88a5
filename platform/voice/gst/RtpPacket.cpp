#include "platform/voice/gst/RtpPacket.h"

namespace voicelink {

// A plausible Opus RTP packet: version 2, our payload type, header fields within the datagram,
// and some payload left. Anything else would only upset the jitter buffer or the decoder.
bool plausibleRtp(const quint8* p, size_t size, int payloadType)
{
    if (size < 12 || (p[0] >> 6) != 2 || (p[1] & 0x7f) != payloadType)
        return false;
    size_t header = 12 + 4 * size_t(p[0] & 0x0f);
    if (header > size)
        return false;
    if (p[0] & 0x10) {
        if (header + 4 > size)
            return false;
        header += 4 + 4 * ((size_t(p[header + 2]) << 8) | p[header + 3]);
        if (header > size)
            return false;
    }
    size_t padding = (p[0] & 0x20) ? p[size - 1] : 0;
    return header + padding < size;
}

} // namespace voicelink

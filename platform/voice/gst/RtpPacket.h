#pragma once

#include <QtGlobal>

#include <cstddef>

namespace voicelink {

// A plausible Opus RTP packet of the given payload type.
bool plausibleRtp(const quint8* p, size_t size, int payloadType);

} // namespace voicelink

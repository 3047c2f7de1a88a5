#pragma once

#include <QtGlobal>

#include <atomic>
#include <memory>
#include <mutex>

struct srtp_ctx_t_;

namespace voicelink {

// One direction of an encrypted call's voice: SRTP and SRTCP with AES-128-GCM (RFC 7714), any
// SSRC, a replay window of 1,024 packets and no packet protected twice. It lives as long as the
// call, not a pipeline, so a microphone opened again goes on with the same packet index. Used
// from the streaming thread and the RTCP session's: each call is whole under its own lock.
class SrtpContext
{
public:
    static constexpr int KeySize = 16 + 12; // master key, then salt
    // What protecting adds at most: the tag, and for SRTCP its index.
    static constexpr int MaxTrailer = 16 + 4;

    enum class Direction
    {
        Outbound,
        Inbound
    };
    // Nothing when the library refuses the key.
    static std::unique_ptr<SrtpContext> Make(const unsigned char (&keyAndSalt)[KeySize],
                                             Direction direction);
    ~SrtpContext();

    // In place: data holds length bytes and has room for MaxTrailer more. The new length, or
    // -1 when the packet is not to go on (for what comes in: forged, damaged or replayed).
    int Protect(unsigned char* data, int length);
    int Unprotect(unsigned char* data, int length);
    int ProtectRtcp(unsigned char* data, int length);
    int UnprotectRtcp(unsigned char* data, int length);

    // Packets that came in and did not verify, and those seen before.
    quint64 AuthFailures() const { return failures_.load(std::memory_order_relaxed); }
    quint64 Replays() const { return replays_.load(std::memory_order_relaxed); }

private:
    explicit SrtpContext(srtp_ctx_t_* session) : session_(session) {}
    int Outcome(int status, int length);

    std::mutex lock_;
    srtp_ctx_t_* session_;
    std::atomic<quint64> failures_{0};
    std::atomic<quint64> replays_{0};
};

} // namespace voicelink

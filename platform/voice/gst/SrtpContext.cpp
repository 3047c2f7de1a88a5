#include "platform/voice/gst/SrtpContext.h"

#include <srtp2/srtp.h>

#include <cstring>
#include <mutex>

namespace voicelink {

std::unique_ptr<SrtpContext> SrtpContext::Make(const unsigned char (&keyAndSalt)[KeySize],
                                               Direction direction)
{
    static const bool ready = srtp_init() == srtp_err_status_ok;
    if (!ready)
        return nullptr;
    unsigned char key[KeySize];
    std::memcpy(key, keyAndSalt, KeySize);
    srtp_policy_t policy;
    std::memset(&policy, 0, sizeof policy);
    srtp_crypto_policy_set_aes_gcm_128_16_auth(&policy.rtp);
    srtp_crypto_policy_set_aes_gcm_128_16_auth(&policy.rtcp);
    policy.ssrc.type = direction == Direction::Outbound ? ssrc_any_outbound : ssrc_any_inbound;
    policy.key = key;
    policy.window_size = 1024;
    policy.allow_repeat_tx = 0;
    srtp_t session = nullptr;
    const srtp_err_status_t made = srtp_create(&session, &policy);
    explicit_bzero(key, sizeof key); // the library keeps its own expanded keys
    if (made != srtp_err_status_ok)
        return nullptr;
    return std::unique_ptr<SrtpContext>(new SrtpContext(session));
}

SrtpContext::~SrtpContext()
{
    srtp_dealloc(session_); // wipes the session's keys
}

int SrtpContext::Outcome(int status, int length)
{
    if (status == srtp_err_status_ok)
        return length;
    if (status == srtp_err_status_replay_fail || status == srtp_err_status_replay_old)
        replays_.fetch_add(1, std::memory_order_relaxed);
    else
        failures_.fetch_add(1, std::memory_order_relaxed);
    return -1;
}

int SrtpContext::Protect(unsigned char* data, int length)
{
    std::lock_guard guard(lock_);
    return srtp_protect(session_, data, &length) == srtp_err_status_ok ? length : -1;
}

int SrtpContext::Unprotect(unsigned char* data, int length)
{
    std::lock_guard guard(lock_);
    const srtp_err_status_t status = srtp_unprotect(session_, data, &length);
    return Outcome(status, length);
}

int SrtpContext::ProtectRtcp(unsigned char* data, int length)
{
    std::lock_guard guard(lock_);
    return srtp_protect_rtcp(session_, data, &length) == srtp_err_status_ok ? length : -1;
}

int SrtpContext::UnprotectRtcp(unsigned char* data, int length)
{
    std::lock_guard guard(lock_);
    const srtp_err_status_t status = srtp_unprotect_rtcp(session_, data, &length);
    return Outcome(status, length);
}

} // namespace voicelink

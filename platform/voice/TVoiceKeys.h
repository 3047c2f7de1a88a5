#pragma once

#include <cstring>

// An encrypted call's SRTP master keys and salts, as this end sends and receives; wiped when
// the last holder lets go. Never written or logged.
struct TVoiceKeys
{
    static constexpr int Size = 16 + 12;
    unsigned char out[Size]{};
    unsigned char in[Size]{};

    TVoiceKeys() = default;
    TVoiceKeys(const TVoiceKeys&) = delete;
    TVoiceKeys& operator=(const TVoiceKeys&) = delete;
    ~TVoiceKeys()
    {
        explicit_bzero(out, sizeof out);
        explicit_bzero(in, sizeof in);
    }
};

#pragma once

#include "platform/player/IMediaPlayer.h"

#include <memory>

// The ring tone player on GStreamer's playbin, to the default audio output.
class TGstMediaPlayer : public IMediaPlayer
{
public:
    TGstMediaPlayer();
    ~TGstMediaPlayer() override;

    void Close() override;
    bool Open(const QString& fileName) override;
    void Play() override;
    void Stop() override;
    bool Playing() override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

#pragma once

#include <QString>

// Plays one sound file, once, from the start (the ring tone).
class IMediaPlayer
{
public:
    virtual ~IMediaPlayer() = default;

    virtual void Close() = 0;
    // False when the file cannot be opened.
    virtual bool Open(const QString& fileName) = 0;
    virtual void Play() = 0;
    virtual void Stop() = 0;
    // True from Play until the end of the file, an error or Stop.
    virtual bool Playing() = 0;
};

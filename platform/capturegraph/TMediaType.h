#pragma once

#include "platform/capturegraph/TGuid.h"

#include <QByteArray>
#include <optional>

// The 40-byte bitmap header that video formats carry.
struct TBitmapInfoHeader
{
    quint32 biSize = 40;
    qint32 biWidth = 0;
    qint32 biHeight = 0; // positive: bottom-up rows; negative: top-down
    quint16 biPlanes = 1;
    quint16 biBitCount = 0;
    quint32 biCompression = 0; // 0 = uncompressed RGB, else a four-character code
    quint32 biSizeImage = 0;
    qint32 biXPelsPerMeter = 0;
    qint32 biYPelsPerMeter = 0;
    quint32 biClrUsed = 0;
    quint32 biClrImportant = 0;

    static constexpr int Size = 40;
    QByteArray ToBytes() const;
    // Nothing when fewer than 40 bytes are there.
    static std::optional<TBitmapInfoHeader> FromBytes(const QByteArray& bytes, int offset = 0);
};

// The audio format block.
struct TWaveFormatEx
{
    quint16 wFormatTag = 1; // PCM
    quint16 nChannels = 0;
    quint32 nSamplesPerSec = 0;
    quint32 nAvgBytesPerSec = 0;
    quint16 nBlockAlign = 0;
    quint16 wBitsPerSample = 0;

    static constexpr int Size = 18;
    QByteArray ToBytes() const;
    static std::optional<TWaveFormatEx> FromBytes(const QByteArray& bytes);
};

// A media type: major type, subtype, format type and the format block (VIDEOINFOHEADER,
// VIDEOINFOHEADER2 or WAVEFORMATEX, laid out byte for byte as the capture graph defines them).
struct TMediaType
{
    TGuid majortype;
    TGuid subtype;
    TGuid formattype;
    QByteArray format;

    // Offsets of the bitmap header inside the video format blocks.
    static constexpr int VideoInfoHeaderOffset = 48;
    static constexpr int VideoInfoHeader2Offset = 72;
    // Offset of the average time per frame (100 ns units, 64 bits) in both video blocks.
    static constexpr int AvgTimePerFrameOffset = 40;

    // A FORMAT_VideoInfo type for a frame size, bit depth and time per frame.
    static TMediaType Video(const TGuid& subtype, const TBitmapInfoHeader& header,
                            qint64 avgTimePerFrame);
    static TMediaType Audio(const TGuid& subtype, const TWaveFormatEx& wave);

    // The bitmap header of a FORMAT_VideoInfo or FORMAT_VideoInfo2 block; nothing otherwise.
    std::optional<TBitmapInfoHeader> BitmapHeader() const;
    // The average time per frame of a video block; 0 when there is none.
    qint64 AvgTimePerFrame() const;
    void SetAvgTimePerFrame(qint64 time);
    std::optional<TWaveFormatEx> WaveFormat() const;

    bool operator==(const TMediaType&) const = default;
};

// The frame-interval range of a video capability (100 ns units).
struct TVideoStreamConfigCaps
{
    qint64 MinFrameInterval = 0;
    qint64 MaxFrameInterval = 0;
};

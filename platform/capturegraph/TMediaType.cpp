#include "platform/capturegraph/TMediaType.h"

#include "platform/capturegraph/CaptureGuids.h"

#include <QtEndian>

namespace {

template <class T> void Put(QByteArray& out, int at, T value)
{
    qToLittleEndian<T>(value, out.data() + at);
}

template <class T> T Get(const QByteArray& in, int at)
{
    return qFromLittleEndian<T>(in.constData() + at);
}

} // namespace

QByteArray TBitmapInfoHeader::ToBytes() const
{
    QByteArray out(Size, '\0');
    Put<quint32>(out, 0, biSize);
    Put<qint32>(out, 4, biWidth);
    Put<qint32>(out, 8, biHeight);
    Put<quint16>(out, 12, biPlanes);
    Put<quint16>(out, 14, biBitCount);
    Put<quint32>(out, 16, biCompression);
    Put<quint32>(out, 20, biSizeImage);
    Put<qint32>(out, 24, biXPelsPerMeter);
    Put<qint32>(out, 28, biYPelsPerMeter);
    Put<quint32>(out, 32, biClrUsed);
    Put<quint32>(out, 36, biClrImportant);
    return out;
}

std::optional<TBitmapInfoHeader> TBitmapInfoHeader::FromBytes(const QByteArray& bytes, int offset)
{
    if (offset < 0 || bytes.size() < offset + Size)
        return std::nullopt;
    const QByteArray in = bytes.mid(offset, Size);
    TBitmapInfoHeader h;
    h.biSize = Get<quint32>(in, 0);
    h.biWidth = Get<qint32>(in, 4);
    h.biHeight = Get<qint32>(in, 8);
    h.biPlanes = Get<quint16>(in, 12);
    h.biBitCount = Get<quint16>(in, 14);
    h.biCompression = Get<quint32>(in, 16);
    h.biSizeImage = Get<quint32>(in, 20);
    h.biXPelsPerMeter = Get<qint32>(in, 24);
    h.biYPelsPerMeter = Get<qint32>(in, 28);
    h.biClrUsed = Get<quint32>(in, 32);
    h.biClrImportant = Get<quint32>(in, 36);
    return h;
}

QByteArray TWaveFormatEx::ToBytes() const
{
    QByteArray out(Size, '\0');
    Put<quint16>(out, 0, wFormatTag);
    Put<quint16>(out, 2, nChannels);
    Put<quint32>(out, 4, nSamplesPerSec);
    Put<quint32>(out, 8, nAvgBytesPerSec);
    Put<quint16>(out, 12, nBlockAlign);
    Put<quint16>(out, 14, wBitsPerSample);
    return out;
}

std::optional<TWaveFormatEx> TWaveFormatEx::FromBytes(const QByteArray& in)
{
    if (in.size() < 16)
        return std::nullopt;
    TWaveFormatEx w;
    w.wFormatTag = Get<quint16>(in, 0);
    w.nChannels = Get<quint16>(in, 2);
    w.nSamplesPerSec = Get<quint32>(in, 4);
    w.nAvgBytesPerSec = Get<quint32>(in, 8);
    w.nBlockAlign = Get<quint16>(in, 12);
    w.wBitsPerSample = Get<quint16>(in, 14);
    return w;
}

TMediaType TMediaType::Video(const TGuid& subtype, const TBitmapInfoHeader& header,
                             qint64 avgTimePerFrame)
{
    TMediaType t;
    t.majortype = CaptureGuids::MEDIATYPE_Video;
    t.subtype = subtype;
    t.formattype = CaptureGuids::FORMAT_VideoInfo;
    t.format = QByteArray(VideoInfoHeaderOffset, '\0') + header.ToBytes();
    t.SetAvgTimePerFrame(avgTimePerFrame);
    return t;
}

TMediaType TMediaType::Audio(const TGuid& subtype, const TWaveFormatEx& wave)
{
    TMediaType t;
    t.majortype = CaptureGuids::MEDIATYPE_Audio;
    t.subtype = subtype;
    t.formattype = CaptureGuids::FORMAT_WaveFormatEx;
    t.format = wave.ToBytes();
    return t;
}

std::optional<TBitmapInfoHeader> TMediaType::BitmapHeader() const
{
    if (formattype == CaptureGuids::FORMAT_VideoInfo)
        return TBitmapInfoHeader::FromBytes(format, VideoInfoHeaderOffset);
    if (formattype == CaptureGuids::FORMAT_VideoInfo2)
        return TBitmapInfoHeader::FromBytes(format, VideoInfoHeader2Offset);
    return std::nullopt;
}

qint64 TMediaType::AvgTimePerFrame() const
{
    const bool video = formattype == CaptureGuids::FORMAT_VideoInfo ||
                       formattype == CaptureGuids::FORMAT_VideoInfo2;
    if (!video || format.size() < AvgTimePerFrameOffset + 8)
        return 0;
    return Get<qint64>(format, AvgTimePerFrameOffset);
}

void TMediaType::SetAvgTimePerFrame(qint64 time)
{
    if (format.size() >= AvgTimePerFrameOffset + 8)
        Put<qint64>(format, AvgTimePerFrameOffset, time);
}

std::optional<TWaveFormatEx> TMediaType::WaveFormat() const
{
    if (formattype != CaptureGuids::FORMAT_WaveFormatEx)
        return std::nullopt;
    return TWaveFormatEx::FromBytes(format);
}

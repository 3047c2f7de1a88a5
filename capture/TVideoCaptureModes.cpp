#include "capture/TVideoCapture.h"
#include "platform/capturegraph/CaptureGuids.h"

#include <cstdlib>

using namespace CaptureGuids;

namespace {

struct TDVRow
{
    int Display;
    TDVResolution Resolution;
    qint32 Width;
    qint32 Height;
    qint32 Bits;
};

// The DV decoder's output sizes, by its display value.
constexpr TDVRow DVTable[4] = {
    {1000, TDVResolution::dvrFull, 720, 576, 24},
    {1001, TDVResolution::dvrHalf, 360, 288, 24},
    {1002, TDVResolution::dvrQuater, 180, 144, 24},
    {1003, TDVResolution::dvrDC, 88, 72, 24},
};

void FillAudio(const TMediaType& type, TACapMode& mode)
{
    if (type.formattype != FORMAT_WaveFormatEx)
        return;
    const auto wave = type.WaveFormat();
    if (!wave)
        return;
    mode.MediaType = type.majortype;
    mode.MediaSubType = type.subtype;
    mode.SampleRate = qint32(wave->nSamplesPerSec);
    mode.SampleSize = wave->wBitsPerSample;
    mode.Channels = wave->nChannels;
    mode.AvgSampleRate = qint32(wave->nAvgBytesPerSec);
}

void FillVideo(const TMediaType& type, TVCapMode& mode)
{
    mode.MediaType = type.majortype;
    mode.MediaSubType = type.subtype;
    if (type.formattype != FORMAT_VideoInfo && type.formattype != FORMAT_VideoInfo2)
        return;
    if (const auto header = type.BitmapHeader()) {
        mode.Width = std::abs(header->biWidth);
        mode.Height = std::abs(header->biHeight);
        mode.Bits = header->biBitCount;
    }
}

double Rate(qint64 interval)
{
    return interval > 0 ? 10'000'000.0 / double(interval) : 0;
}

} // namespace

int TVideoCapture::GetACapModeCount()
{
    int count = 0;
    if (!audioStreamConfig_ || Hr::Failed(audioStreamConfig_->GetNumberOfCapabilities(count)))
        return 0;
    return count;
}

void TVideoCapture::GetCurrentACapMode(TACapMode& mode)
{
    mode = {};
    TMediaType type;
    if (audioStreamConfig_ && Hr::Succeeded(audioStreamConfig_->GetFormat(type)))
        FillAudio(type, mode);
}

void TVideoCapture::GetACapMode(int index, TACapMode& mode)
{
    mode = {};
    TMediaType type;
    TVideoStreamConfigCaps caps;
    if (audioStreamConfig_ && index >= 0 && index < GetACapModeCount() &&
        Hr::Succeeded(audioStreamConfig_->GetStreamCaps(index, type, caps)))
        FillAudio(type, mode);
}

bool TVideoCapture::SetACapMode(int index)
{
    const bool wasPreviewing = previewing_;
    bool ok = false;
    TMediaType type;
    TVideoStreamConfigCaps caps;
    if (audioStreamConfig_ && index >= 0 && index < GetACapModeCount() &&
        Hr::Succeeded(audioStreamConfig_->GetStreamCaps(index, type, caps))) {
        StopPreview();
        ok = audioStreamConfig_->SetFormat(type) == Hr::S_OK;
    }
    if (wasPreviewing)
        StartPreview();
    if (ok)
        emit OnChangeACapMode();
    return ok;
}

bool TVideoCapture::ACapModesMatch(const TACapMode& a, const TACapMode& b)
{
    if (a.MediaSubType != b.MediaSubType || a.Channels != b.Channels)
        return false;
    // PCM is fully described by rate and sample size; other codecs by their byte rate.
    if (a.MediaSubType == MEDIASUBTYPE_PCM)
        return a.SampleRate == b.SampleRate && a.SampleSize == b.SampleSize;
    return a.AvgSampleRate == b.AvgSampleRate && a.SampleRate == b.SampleRate;
}

bool TVideoCapture::SetACapModeByValue(const TACapMode& mode)
{
    TACapMode current;
    GetCurrentACapMode(current);
    if (ACapModesMatch(current, mode))
        return true;
    const int count = GetACapModeCount();
    for (int i = 0; i < count; ++i) {
        TACapMode candidate;
        GetACapMode(i, candidate);
        if (ACapModesMatch(candidate, mode))
            return SetACapMode(i);
    }
    return false;
}

int TVideoCapture::GetVCapModeCount()
{
    if (IsDV())
        return 4;
    int count = 0;
    if (!videoStreamConfig_ || Hr::Failed(videoStreamConfig_->GetNumberOfCapabilities(count)))
        return 0;
    return count;
}

void TVideoCapture::GetCurrentVCapMode(TVCapMode& mode)
{
    mode = {};
    if (IsDV()) {
        int display = 0;
        const auto decoder = dvDecoder_ ? dvDecoder_->DVDecoder() : nullptr;
        if (graph_ && decoder && Hr::Succeeded(decoder->get_IPDisplay(display)) &&
            display >= 1000 && display <= 1003) {
            const TDVRow& row = DVTable[display - 1000];
            mode.Width = row.Width;
            mode.Height = row.Height;
            mode.Bits = row.Bits;
        }
        return;
    }
    TMediaType type;
    if (videoStreamConfig_ && Hr::Succeeded(videoStreamConfig_->GetFormat(type)))
        FillVideo(type, mode);
}

void TVideoCapture::GetVCapMode(int index, TVCapMode& mode)
{
    mode = {};
    if (IsDV()) {
        if (index >= 0 && index < 4) {
            mode.Width = DVTable[index].Width;
            mode.Height = DVTable[index].Height;
            mode.Bits = DVTable[index].Bits;
        }
        return;
    }
    TMediaType type;
    TVideoStreamConfigCaps caps;
    if (videoStreamConfig_ && index >= 0 && index < GetVCapModeCount() &&
        Hr::Succeeded(videoStreamConfig_->GetStreamCaps(index, type, caps))) {
        FillVideo(type, mode);
        mode.FrameRate = Rate(type.AvgTimePerFrame());
        // The longest interval is the slowest rate.
        mode.MinFrameRate = Rate(caps.MaxFrameInterval);
        mode.MaxFrameRate = Rate(caps.MinFrameInterval);
    }
}

bool TVideoCapture::SetVCapMode(int index)
{
    TearDownGraph();
    if (IsDV()) {
        if (index >= 0 && index < 4)
            dvResolution_ = DVTable[index].Resolution;
        return false;
    }
    bool ok = false;
    TMediaType type;
    TVideoStreamConfigCaps caps;
    if (videoStreamConfig_ && index >= 0 && index < GetVCapModeCount() &&
        Hr::Succeeded(videoStreamConfig_->GetStreamCaps(index, type, caps)))
        ok = videoStreamConfig_->SetFormat(type) == Hr::S_OK;
    if (ok)
        emit OnChangeVCapMode();
    return ok;
}

bool TVideoCapture::VCapModesMatch(const TVCapMode& a, const TVCapMode& b)
{
    return a.MediaSubType == b.MediaSubType && a.Height == b.Height && a.Width == b.Width &&
           a.Bits == b.Bits;
}

bool TVideoCapture::SetVCapModeByValue(const TVCapMode& mode)
{
    TVCapMode current;
    GetCurrentVCapMode(current);
    if (VCapModesMatch(current, mode))
        return true;
    const int count = GetVCapModeCount();
    for (int i = 0; i < count; ++i) {
        TVCapMode candidate;
        GetVCapMode(i, candidate);
        if (VCapModesMatch(candidate, mode))
            return SetVCapMode(i);
    }
    return false;
}

void TVideoCapture::SetDVResolution(TDVResolution value)
{
    dvResolution_ = value;
    if (!graph_ || value == TDVResolution::dvrDontWorry || !IsDV())
        return;
    TearDownGraph();
    if (const auto decoder = dvDecoder_ ? dvDecoder_->DVDecoder() : nullptr)
        decoder->put_IPDisplay(DVTable[int(value) - 1].Display);
}

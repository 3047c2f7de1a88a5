#include "capture/TVCapModes.h"
#include "capture/TVideoCapture.h"
#include "platform/camera/ICamera.h"

namespace {

struct TDVRow
{
    TDVResolution Resolution;
    qint32 Width;
    qint32 Height;
    qint32 Bits;
};

// A DV camera's decoding sizes, the order its modes are listed in.
constexpr TDVRow DVTable[4] = {
    {TDVResolution::dvrFull, 720, 576, 24},
    {TDVResolution::dvrHalf, 360, 288, 24},
    {TDVResolution::dvrQuater, 180, 144, 24},
    {TDVResolution::dvrDC, 88, 72, 24},
};

void FillDV(const TDVRow& row, TVCapMode& mode)
{
    mode.Width = row.Width;
    mode.Height = row.Height;
    mode.Bits = row.Bits;
}

} // namespace

QSize TVideoCapture::DVSize(TDVResolution resolution)
{
    if (resolution == TDVResolution::dvrDontWorry || int(resolution) > 4)
        return {};
    const TDVRow& row = DVTable[int(resolution) - 1];
    return {row.Width, row.Height};
}

bool TVideoCapture::IsDV() const
{
    if (!camera_)
        return false;
    const int mode = camera_->Mode();
    return mode >= 0 && size_t(mode) < camera_->Modes().size() &&
           camera_->Modes()[size_t(mode)].IsDV();
}

int TVideoCapture::GetVCapModeCount() const
{
    if (IsDV())
        return 4;
    return camera_ ? int(camera_->Modes().size()) : 0;
}

void TVideoCapture::GetCurrentVCapMode(TVCapMode& mode) const
{
    mode = {};
    if (IsDV()) {
        // Left to itself the decoder gives the whole picture.
        const TDVResolution r =
            dvResolution_ == TDVResolution::dvrDontWorry ? TDVResolution::dvrFull : dvResolution_;
        FillDV(DVTable[int(r) - 1], mode);
        return;
    }
    const int index = camera_ ? camera_->Mode() : -1;
    if (index < 0 || size_t(index) >= camera_->Modes().size())
        return;
    mode = TVCapModes::Record(camera_->Modes()[size_t(index)]);
    // The running format states no rate range.
    mode.FrameRate = mode.MinFrameRate = mode.MaxFrameRate = 0;
}

void TVideoCapture::GetVCapMode(int index, TVCapMode& mode) const
{
    mode = {};
    if (IsDV()) {
        if (index >= 0 && index < 4)
            FillDV(DVTable[index], mode);
        return;
    }
    if (camera_ && index >= 0 && size_t(index) < camera_->Modes().size())
        mode = TVCapModes::Record(camera_->Modes()[size_t(index)]);
}

bool TVideoCapture::SetVCapMode(int index)
{
    TearDownGraph();
    if (IsDV()) {
        if (index >= 0 && index < 4)
            dvResolution_ = DVTable[index].Resolution;
        return false;
    }
    const bool ok = camera_ && index >= 0 && index < GetVCapModeCount() && camera_->SetMode(index);
    if (ok)
        emit OnChangeVCapMode();
    return ok;
}

bool TVideoCapture::SetVCapModeByValue(const TVCapMode& mode)
{
    TVCapMode current;
    GetCurrentVCapMode(current);
    if (TVCapModes::Match(current, mode))
        return true;
    const int count = GetVCapModeCount();
    for (int i = 0; i < count; ++i) {
        TVCapMode candidate;
        GetVCapMode(i, candidate);
        if (TVCapModes::Match(candidate, mode))
            return SetVCapMode(i);
    }
    return false;
}

void TVideoCapture::SetDVResolution(TDVResolution value)
{
    dvResolution_ = value;
    // The new size takes effect when the camera is readied again.
    if (value != TDVResolution::dvrDontWorry && IsDV())
        TearDownGraph();
}

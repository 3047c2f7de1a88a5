#include "platform/capturegraph/fake/TFakeDevice.h"

#include "platform/capturegraph/CaptureGuids.h"

TMediaType TFakeDevice::CurrentFormat() const
{
    if (Current)
        return *Current;
    return Modes.empty() ? TMediaType{} : Modes.front().Type;
}

bool TFakeDevice::IsInterleaved() const
{
    return CurrentFormat().majortype == CaptureGuids::MEDIATYPE_Interleaved;
}

QString TFakeDevice::CategoryName(TDeviceCategory category)
{
    switch (category) {
    case TDeviceCategory::VideoInput:
        return "video";
    case TDeviceCategory::AudioInput:
        return "audio";
    case TDeviceCategory::VideoCompressor:
        return "vcomp";
    case TDeviceCategory::AudioCompressor:
        return "acomp";
    }
    return {};
}

#include "tests/support/TFakeCamera.h"

#include "platform/capturegraph/CaptureGuids.h"

std::shared_ptr<TFakeCaptureSystem> MakeFakeCamera()
{
    auto system = std::make_shared<TFakeCaptureSystem>();
    system->AddDevice(
        TDeviceCategory::VideoInput, QStringLiteral("Fake Camera"),
        {TFakeCaptureSystem::VideoMode(CaptureGuids::MEDIASUBTYPE_RGB24, 320, 240, 24)});
    return system;
}

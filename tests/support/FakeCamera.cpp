#include "tests/support/FakeCamera.h"

std::shared_ptr<TFakeCameraSystem> MakeFakeCamera()
{
    auto system = std::make_shared<TFakeCameraSystem>();
    system->AddDevice(QStringLiteral("Fake Camera"), {TFakeCameraSystem::RawMode("BGR", 320, 240)});
    return system;
}

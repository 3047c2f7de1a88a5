#pragma once

#include "platform/camera/fake/TFakeCameraSystem.h"

#include <memory>

// A camera system with one camera ("Fake Camera", 320 x 240 BGR at 30 fps), for windows that
// need a camera to start.
std::shared_ptr<TFakeCameraSystem> MakeFakeCamera();

#pragma once

#include "platform/capturegraph/fake/TFakeCaptureSystem.h"

#include <memory>

// A capture system with one camera ("Fake Camera", 320 x 240 RGB24 at 30 fps), for windows
// that need a camera to start.
std::shared_ptr<TFakeCaptureSystem> MakeFakeCamera();

#pragma once

#include <QByteArray>

#include <memory>

class ICamera;
class TGstCameraSystem;

namespace bench {

// The GStreamer system's test camera set to its last 1280 x 720 mode of the given media (and,
// when given, rate and raw format); null when the camera or such a mode is missing.
std::unique_ptr<ICamera> OpenTestCamera(TGstCameraSystem& system, const QByteArray& media,
                                        double rate = 0, const QByteArray& format = {});

} // namespace bench

#pragma once

#include <gst/gst.h>

// Stamps every picture the test camera's generator makes with its frame number (FrameStamp),
// before anything else sees it, and tells on parlavue.latency when each was made (monotonic
// microseconds, the clock every process on the machine shares).
namespace TestCameraStamp {

void Install(GstElement* generator);

} // namespace TestCameraStamp

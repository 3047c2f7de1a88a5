#pragma once

#include <linux/videodev2.h>

#include <cerrno>

// The four control ioctls of a V4L2 device, so the control page can be driven without a camera.
// Each returns 0 or the errno value of the failure; the argument is read and written as the
// ioctl would.
class IV4l2Device
{
public:
    virtual ~IV4l2Device() = default;

    // VIDIOC_QUERYCTRL; id may carry V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND.
    virtual int QueryControl(v4l2_queryctrl& query) = 0;
    // VIDIOC_QUERYMENU
    virtual int QueryMenu(v4l2_querymenu& menu) = 0;
    // VIDIOC_G_CTRL
    virtual int GetControl(v4l2_control& control) = 0;
    // VIDIOC_S_CTRL
    virtual int SetControl(v4l2_control& control) = 0;

    // The tuner of a TV capture card; a device without one answers ENOTTY or EINVAL.
    // VIDIOC_G_TUNER
    virtual int GetTuner(v4l2_tuner&) { return ENOTTY; }
    // VIDIOC_G_FREQUENCY, VIDIOC_S_FREQUENCY
    virtual int GetFrequency(v4l2_frequency&) { return ENOTTY; }
    virtual int SetFrequency(const v4l2_frequency&) { return ENOTTY; }
    // VIDIOC_ENUMSTD, VIDIOC_G_STD, VIDIOC_S_STD
    virtual int EnumStandard(v4l2_standard&) { return ENOTTY; }
    virtual int GetStandard(v4l2_std_id&) { return ENOTTY; }
    virtual int SetStandard(v4l2_std_id) { return ENOTTY; }
};

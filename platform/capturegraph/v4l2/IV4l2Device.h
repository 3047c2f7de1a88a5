#pragma once

#include <linux/videodev2.h>

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
};

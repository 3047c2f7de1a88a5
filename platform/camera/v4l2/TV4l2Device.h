#pragma once

#include "platform/camera/v4l2/IV4l2Device.h"

#include <QString>

#include <memory>

// A V4L2 device node (/dev/videoN) opened for its controls; closed with the object.
class TV4l2Device final : public IV4l2Device
{
public:
    // Null when the path cannot be opened or is not a character device.
    static std::unique_ptr<TV4l2Device> Open(const QString& path);

    ~TV4l2Device() override;
    TV4l2Device(const TV4l2Device&) = delete;
    TV4l2Device& operator=(const TV4l2Device&) = delete;

    int QueryControl(v4l2_queryctrl& query) override;
    int QueryMenu(v4l2_querymenu& menu) override;
    int GetControl(v4l2_control& control) override;
    int SetControl(v4l2_control& control) override;
    int GetTuner(v4l2_tuner& tuner) override;
    int GetFrequency(v4l2_frequency& frequency) override;
    int SetFrequency(const v4l2_frequency& frequency) override;
    int EnumStandard(v4l2_standard& standard) override;
    int GetStandard(v4l2_std_id& standard) override;
    int SetStandard(v4l2_std_id standard) override;

private:
    explicit TV4l2Device(int fd) : Fd(fd) {}
    int Ioctl(unsigned long request, void* argument);

    int Fd = -1;
};

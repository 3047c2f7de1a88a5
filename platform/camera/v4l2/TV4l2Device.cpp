#include "platform/camera/v4l2/TV4l2Device.h"

#include "platform/logging/Logging.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A signal arriving again and again must not hold the UI thread forever.
constexpr int MaxInterruptedRetries = 100;
} // namespace

std::unique_ptr<TV4l2Device> TV4l2Device::Open(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    int fd = -1;
    int error = 0;
    for (int attempt = 0; attempt < MaxInterruptedRetries; ++attempt) {
        // Non-blocking: a busy or wedged driver must not stall the settings dialog.
        fd = ::open(name.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        error = errno;
        if (fd >= 0 || error != EINTR)
            break;
    }
    if (fd < 0) {
        qCDebug(lcCapture) << "V4L2: cannot open" << path << ":" << std::strerror(error);
        return nullptr;
    }
    std::unique_ptr<TV4l2Device> device(new TV4l2Device(fd));
    struct stat status
    {};
    if (::fstat(fd, &status) != 0 || !S_ISCHR(status.st_mode)) {
        qCDebug(lcCapture) << "V4L2:" << path << "is not a device node";
        return nullptr;
    }
    return device;
}

TV4l2Device::~TV4l2Device()
{
    if (Fd >= 0)
        ::close(Fd);
}

int TV4l2Device::Ioctl(unsigned long request, void* argument)
{
    int error = EINTR;
    for (int attempt = 0; attempt < MaxInterruptedRetries && error == EINTR; ++attempt)
        error = ::ioctl(Fd, request, argument) >= 0 ? 0 : errno;
    return error;
}

int TV4l2Device::QueryControl(v4l2_queryctrl& query)
{
    return Ioctl(VIDIOC_QUERYCTRL, &query);
}

int TV4l2Device::QueryMenu(v4l2_querymenu& menu)
{
    return Ioctl(VIDIOC_QUERYMENU, &menu);
}

int TV4l2Device::GetControl(v4l2_control& control)
{
    return Ioctl(VIDIOC_G_CTRL, &control);
}

int TV4l2Device::SetControl(v4l2_control& control)
{
    return Ioctl(VIDIOC_S_CTRL, &control);
}

int TV4l2Device::GetTuner(v4l2_tuner& tuner)
{
    return Ioctl(VIDIOC_G_TUNER, &tuner);
}

int TV4l2Device::GetFrequency(v4l2_frequency& frequency)
{
    return Ioctl(VIDIOC_G_FREQUENCY, &frequency);
}

int TV4l2Device::SetFrequency(const v4l2_frequency& frequency)
{
    v4l2_frequency copy = frequency;
    return Ioctl(VIDIOC_S_FREQUENCY, &copy);
}

int TV4l2Device::EnumStandard(v4l2_standard& standard)
{
    return Ioctl(VIDIOC_ENUMSTD, &standard);
}

int TV4l2Device::GetStandard(v4l2_std_id& standard)
{
    return Ioctl(VIDIOC_G_STD, &standard);
}

int TV4l2Device::SetStandard(v4l2_std_id standard)
{
    return Ioctl(VIDIOC_S_STD, &standard);
}

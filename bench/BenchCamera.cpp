#include "bench/BenchCamera.h"

#include "platform/camera/ICamera.h"
#include "platform/camera/gst/TGstCameraSystem.h"

#include <QStringList>

namespace bench {

std::unique_ptr<ICamera> OpenTestCamera(TGstCameraSystem& system, const QByteArray& media,
                                        double rate, const QByteArray& format)
{
    QStringList names;
    system.Devices(names);
    std::unique_ptr<ICamera> camera =
        system.Open(int(names.indexOf(QString::fromLatin1(TGstCameraSystem::TestCameraName))));
    if (!camera)
        return nullptr;
    int mode = -1;
    for (size_t i = 0; i < camera->Modes().size(); ++i) {
        const TCameraMode& m = camera->Modes()[i];
        if (m.Media == media && m.Width == 1280 && m.Height == 720 &&
            (rate <= 0 || m.Rate() == rate) && (format.isEmpty() || m.Format == format))
            mode = int(i);
    }
    if (mode < 0 || !camera->SetMode(mode))
        return nullptr;
    return camera;
}

} // namespace bench

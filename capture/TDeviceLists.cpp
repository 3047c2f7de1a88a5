#include "capture/TDeviceLists.h"

#include "platform/camera/ICameraSystem.h"
#include "platform/logging/Logging.h"

void TDeviceLists::Refresh()
{
    Clear();
    QStringList names;
    if (!system_.Devices(names)) {
        qCDebug(lcCapture) << "the camera list cannot be read";
        return;
    }
    for (const QString& name : names) {
        // A nameless entry cannot be chosen or stored; it keeps its place so indices hold.
        const qsizetype same = name.trimmed().isEmpty() ? 0 : friendly_.count(name);
        friendly_ << name;
        display_ << (same > 0 ? name + QStringLiteral(" (%1)").arg(same + 1) : name);
    }
}

void TDeviceLists::Clear()
{
    friendly_.clear();
    display_.clear();
}

QStringList TDeviceLists::VideoCaptureDeviceNames(bool refresh)
{
    if (refresh || display_.isEmpty())
        Refresh();
    QStringList shown;
    for (const QString& name : display_)
        if (!name.trimmed().isEmpty())
            shown << name;
    return shown;
}

int TDeviceLists::IndexOf(const QString& displayName) const
{
    if (displayName.trimmed().isEmpty())
        return -1;
    return int(display_.indexOf(displayName));
}

QString TDeviceLists::FriendlyName(const QString& displayName) const
{
    const int index = IndexOf(displayName);
    return index < 0 ? QString() : friendly_[index];
}

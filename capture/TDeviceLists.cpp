#include "capture/TDeviceLists.h"

#include "platform/logging/Logging.h"

#include <algorithm>

void TDeviceLists::Enumerate(TDeviceCategory category)
{
    auto& list = lists_[Index(category)];
    list.clear();
    std::vector<MonikerPtr> devices;
    const HRESULT hr = system_.EnumerateDevices(category, devices);
    if (hr != Hr::S_OK) {
        qCDebug(lcCapture) << "no devices in category" << int(category) << Qt::hex << hr;
        return;
    }
    for (const MonikerPtr& device : devices) {
        QString name;
        if (!device || Hr::Failed(device->ReadFriendlyName(name)))
            continue;
        if (name.trimmed().isEmpty())
            continue;
        // Same-named devices (two identical cameras) stay apart as "Name", "Name (2)", ...
        const auto same = std::count_if(list.begin(), list.end(), [&](const TCapDeviceInfo& e) {
            return e.FriendlyName == name;
        });
        const qsizetype count = same + 1;
        const QString display = count > 1 ? name + QStringLiteral(" (%1)").arg(count) : name;
        list.push_back({name, display, device});
    }
}

void TDeviceLists::RefreshDeviceLists()
{
    Enumerate(TDeviceCategory::VideoInput);
    Enumerate(TDeviceCategory::AudioInput);
    Enumerate(TDeviceCategory::VideoCompressor);
    Enumerate(TDeviceCategory::AudioCompressor);
}

void TDeviceLists::ClearDeviceLists()
{
    for (auto& list : lists_)
        list.clear();
}

const std::vector<TCapDeviceInfo>& TDeviceLists::List(TDeviceCategory category) const
{
    return lists_[Index(category)];
}

MonikerPtr TDeviceLists::FindByName(TDeviceCategory category, const QString& displayName) const
{
    for (const TCapDeviceInfo& entry : List(category))
        if (entry.DisplayName == displayName)
            return entry.Moniker;
    return nullptr;
}

QString TDeviceLists::FindByMoniker(TDeviceCategory category, const MonikerPtr& moniker) const
{
    if (!moniker)
        return {};
    for (const TCapDeviceInfo& entry : List(category))
        if (entry.Moniker == moniker)
            return entry.DisplayName;
    return {};
}

QStringList TDeviceLists::Names(TDeviceCategory category, bool refresh)
{
    if (refresh || List(category).empty())
        Enumerate(category);
    QStringList names;
    for (const TCapDeviceInfo& entry : List(category))
        names << entry.DisplayName;
    return names;
}

QStringList TDeviceLists::VideoCaptureDeviceNames(bool refresh)
{
    return Names(TDeviceCategory::VideoInput, refresh);
}

QStringList TDeviceLists::AudioCaptureDeviceNames(bool refresh)
{
    return Names(TDeviceCategory::AudioInput, refresh);
}

QStringList TDeviceLists::VideoCompressorNames(bool refresh)
{
    return Names(TDeviceCategory::VideoCompressor, refresh);
}

QStringList TDeviceLists::AudioCompressorNames(bool refresh)
{
    return Names(TDeviceCategory::AudioCompressor, refresh);
}

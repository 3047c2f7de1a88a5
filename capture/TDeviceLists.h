#pragma once

#include "capture/TCapDeviceInfo.h"

#include <QStringList>
#include <array>
#include <vector>

// The four device lists (video capture, audio capture, video and audio compressors) as the
// system enumerates them, with the names shown to the user made unique.
class TDeviceLists
{
public:
    explicit TDeviceLists(ICaptureSystem& system) : system_(system) {}

    // Enumerates one category afresh; a failing enumeration leaves its list empty.
    void Enumerate(TDeviceCategory category);
    void RefreshDeviceLists();
    void ClearDeviceLists();

    const std::vector<TCapDeviceInfo>& List(TDeviceCategory category) const;
    // The device of the first entry with this display name; null when none has it.
    MonikerPtr FindByName(TDeviceCategory category, const QString& displayName) const;
    // The display name of the entry holding this very handle; empty when none does.
    QString FindByMoniker(TDeviceCategory category, const MonikerPtr& moniker) const;

    // Display names in list order; the category is enumerated first when refresh is asked or
    // its list is empty.
    QStringList Names(TDeviceCategory category, bool refresh);
    QStringList VideoCaptureDeviceNames(bool refresh);
    QStringList AudioCaptureDeviceNames(bool refresh);
    QStringList VideoCompressorNames(bool refresh);
    QStringList AudioCompressorNames(bool refresh);

private:
    static size_t Index(TDeviceCategory category) { return size_t(category); }

    ICaptureSystem& system_;
    std::array<std::vector<TCapDeviceInfo>, 4> lists_;
};

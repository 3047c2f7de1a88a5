#pragma once

#include "platform/capturegraph/CaptureInterfaces.h"
#include "platform/capturegraph/fake/TFakeMode.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <optional>
#include <vector>

// A device of the fake system. It outlives the filters bound from it, so a chosen format stays
// chosen across graph rebuilds as it does on real hardware.
class TFakeDevice
{
public:
    TDeviceCategory Category = TDeviceCategory::VideoInput;
    QString Name;
    std::vector<TFakeMode> Modes;
    // The format the device delivers now; the first mode until one is set.
    std::optional<TMediaType> Current;
    QSet<int> CaptureDialogs; // VfW capture dialogs the driver offers (0..2)
    bool CompressDialogs = false;
    QByteArray CompressState;
    bool PropertyPages = false;

    TMediaType CurrentFormat() const;
    // Video: MEDIATYPE_Video or MEDIATYPE_Interleaved of the current format.
    bool IsInterleaved() const;
    // The short name the journal uses for a category: "video", "audio", "vcomp", "acomp".
    static QString CategoryName(TDeviceCategory category);
};

#include "platform/voice/gst/TGstSoundDevices.h"

#include "platform/elements/gst/TGstDeviceWatch.h"
#include "platform/logging/Logging.h"

#include <QStringList>

namespace {

QString StringField(const GstStructure* properties, const char* field)
{
    const gchar* value = properties ? gst_structure_get_string(properties, field) : nullptr;
    return value ? QString::fromUtf8(value) : QString();
}

} // namespace

TGstSoundDevices::TGstSoundDevices()
{
    if (!gst_init_check(nullptr, nullptr, nullptr)) {
        qCWarning(lcDevices) << "GStreamer unavailable: no sound devices are listed";
        return;
    }
    watch_ = std::make_unique<TGstDeviceWatch>(
        QStringList{QStringLiteral("Audio/Source"), QStringLiteral("Audio/Sink")});
}

TGstSoundDevices::~TGstSoundDevices() = default;

QList<TSoundDevice> TGstSoundDevices::Microphones() const
{
    return List(true);
}

QList<TSoundDevice> TGstSoundDevices::Speakers() const
{
    return List(false);
}

void TGstSoundDevices::SetChanged(std::function<void()> changed)
{
    if (watch_)
        watch_->SetHandler(std::move(changed));
}

QList<TSoundDevice> TGstSoundDevices::List(bool sources) const
{
    QList<TSoundDevice> list;
    if (!watch_)
        return list;
    for (const auto& device : watch_->Devices()) {
        GstDevice* d = device.get();
        if (!gst_device_has_classes(d, sources ? "Audio/Source" : "Audio/Sink"))
            continue;
        // The sound server's name is what the link opens; other providers' devices have none.
        if (!g_object_class_find_property(G_OBJECT_GET_CLASS(d), "internal-name"))
            continue;
        gchar* rawName = nullptr;
        g_object_get(d, "internal-name", &rawName, nullptr);
        const QString name = QString::fromUtf8(rawName ? rawName : "");
        g_free(rawName);
        GstStructure* properties = gst_device_get_properties(d);
        const bool monitor = StringField(properties, "device.class") == QLatin1String("monitor");
        if (properties)
            gst_structure_free(properties);
        if (name.isEmpty() || (sources && monitor))
            continue;
        gchar* rawLabel = gst_device_get_display_name(d);
        QString label = QString::fromUtf8(rawLabel ? rawLabel : "").trimmed();
        g_free(rawLabel);
        if (label.isEmpty())
            label = name;
        const TSoundDevice entry{name, label};
        if (!list.contains(entry))
            list << entry;
    }
    return list;
}

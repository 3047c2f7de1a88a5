#include "platform/elements/TGstElements.h"

#include <algorithm>
#include <array>

#include <QCoreApplication>

namespace {

constexpr const char* Core = "libgstreamer1.0-0";
constexpr const char* Base = "gstreamer1.0-plugins-base";
constexpr const char* Good = "gstreamer1.0-plugins-good";
constexpr const char* X = "gstreamer1.0-x";
constexpr const char* Libav = "gstreamer1.0-libav";
constexpr const char* PipeWire = "gstreamer1.0-pipewire";

constexpr unsigned Camera = UseCamera;
constexpr unsigned Voice = UseVoice;

// Devices from the device monitor make their own sources (v4l2src, pulsesrc); those are listed
// with the uses that open them. Encoders offered as compressors are whatever is installed and
// so are not listed.
constexpr std::array Elements{
    TGstElement{"v4l2src", Good, Camera},
    TGstElement{"capsfilter", Core, Camera | Voice | UseTestDVCamera | UseTests},
    TGstElement{"queue", Core, Camera | Voice | UseDVCamera},
    TGstElement{"tee", Core, Voice},
    TGstElement{"fakesink", Core, UseRingTone | UseTests},
    TGstElement{"appsink", Base, Camera | Voice},
    TGstElement{"appsrc", Base, Voice},
    TGstElement{"videoconvert", Base, Camera | UseTestDVCamera | UseTests},
    TGstElement{"videoscale", Base, UseDVCamera},
    TGstElement{"jpegdec", Good, Camera | UseTests},
    TGstElement{"videotestsrc", Base, UseTestCamera | UseTestDVCamera | UseTests},
    TGstElement{"timeoverlay", X, UseTestCamera | UseTestDVCamera},
    TGstElement{"videobalance", Good, UseTestCamera},
    TGstElement{"dvdemux", Good, UseDVCamera},
    TGstElement{"dvdec", Good, UseDVCamera},
    TGstElement{"audiotestsrc", Base, UseTestDVCamera | UseTests},
    TGstElement{"avenc_dvvideo", Libav, UseTestDVCamera},
    TGstElement{"avmux_dv", Libav, UseTestDVCamera},
    TGstElement{"filesink", Core, UseTests},
    TGstElement{"audioconvert", Base, Voice},
    TGstElement{"audioresample", Base, Voice},
    TGstElement{"pulsesrc", Good, Voice},
    TGstElement{"pulsesink", Good, Voice | UseTests},
    TGstElement{"volume", Base, Voice},
    TGstElement{"opusenc", Base, Voice},
    TGstElement{"opusdec", Base, Voice},
    TGstElement{"rtpopuspay", Good, Voice},
    TGstElement{"rtpopusdepay", Good, Voice},
    TGstElement{"rtpjitterbuffer", Good, Voice},
    TGstElement{"udpsink", Good, Voice | UseTests},
    TGstElement{"udpsrc", Good, Voice},
    TGstElement{"playbin", Base, UseRingTone},
    TGstElement{"filesrc", Core, UseTests},
    TGstElement{"jpegenc", Good, UseTestCamera | UseTests},
    TGstElement{"pngenc", Good, UseTests},
    TGstElement{"ximagesrc", Good, UseScreen},
    TGstElement{"pipewiresrc", PipeWire, UseScreen},
};

} // namespace

std::span<const TGstElement> GstElements()
{
    return Elements;
}

const TGstElement* FindGstElement(const QString& name)
{
    const auto it = std::find_if(Elements.begin(), Elements.end(), [&](const TGstElement& e) {
        return name == QLatin1String(e.name);
    });
    return it == Elements.end() ? nullptr : &*it;
}

QList<TGstElement> GstElementsFor(unsigned uses)
{
    QList<TGstElement> out;
    for (const TGstElement& e : Elements)
        if (e.uses & uses)
            out << e;
    return out;
}

QString DescribeGstElement(const QString& name)
{
    const TGstElement* e = FindGstElement(name);
    if (!e)
        return name;
    return QStringLiteral("%1 (Debian package %2)").arg(name, QLatin1String(e->package));
}

QString MissingGstElementsMessage(const QList<TGstElement>& missing)
{
    QStringList lines;
    QStringList packages;
    for (const TGstElement& e : missing) {
        lines << QStringLiteral("    ") + DescribeGstElement(QLatin1String(e.name));
        if (!packages.contains(QLatin1String(e.package)))
            packages << QLatin1String(e.package);
    }
    return QCoreApplication::translate(
               "TGstElements", "These GStreamer elements are missing:\n%1\n\nInstall them with:\n"
                               "    sudo apt-get install %2")
        .arg(lines.join(QLatin1Char('\n')), packages.join(QLatin1Char(' ')));
}

#include "platform/camera/gst/GstCameraModes.h"

#include "platform/elements/gst/GstRef.h"
#include "platform/logging/Logging.h"

#include <gst/video/video.h>

#include <algorithm>
#include <optional>

namespace GstCameraModes {

namespace {

struct TSize
{
    int width;
    int height;
};

// Sizes and rates tried where a device offers a range rather than fixed values.
constexpr TSize CandidateSizes[] = {{160, 120}, {320, 240},  {352, 288},  {640, 480},
                                    {800, 600}, {1280, 720}, {1920, 1080}};
constexpr int CandidateRates[] = {30, 25, 20, 15, 10, 5};
// Caps listing every width and height a driver takes must not make a list nobody can show.
constexpr size_t MaxModes = 1024;
constexpr int MaxSide = 16384;

struct TLayout
{
    quint32 fourcc;
    int bits;
};

std::optional<TLayout> Layout(const QByteArray& media, const QByteArray& format)
{
    if (media == "image/jpeg")
        return TLayout{GST_MAKE_FOURCC('M', 'J', 'P', 'G'), 24};
    if (media == "video/x-dv")
        return TLayout{GST_MAKE_FOURCC('d', 'v', 's', 'd'), 24};
    if (media != "video/x-raw")
        return std::nullopt;
    if (format == "BGR" || format == "RGB")
        return TLayout{0, 24};
    if (format == "BGRx" || format == "BGRA")
        return TLayout{0, 32};
    if (format == "RGB16" || format == "RGB15")
        return TLayout{0, 16};
    const GstVideoFormat vf = gst_video_format_from_string(format.constData());
    const quint32 fourcc = vf == GST_VIDEO_FORMAT_UNKNOWN ? 0 : gst_video_format_to_fourcc(vf);
    GstVideoInfo info;
    if (fourcc == 0 || !gst_video_info_set_format(&info, vf, 64, 64))
        return std::nullopt;
    return TLayout{fourcc, int(GST_VIDEO_INFO_SIZE(&info) * 8 / (64 * 64))};
}

// Calls f with each value of a field, lists taken apart.
template <class F> void Each(const GValue* value, const F& f)
{
    if (value && GST_VALUE_HOLDS_LIST(value))
        for (guint i = 0; i < gst_value_list_get_size(value); ++i)
            Each(gst_value_list_get_value(value, i), f);
    else if (value)
        f(value);
}

bool Accepts(const GValue* field, int x)
{
    bool accepted = false;
    Each(field, [&](const GValue* v) {
        if (G_VALUE_HOLDS_INT(v))
            accepted = accepted || g_value_get_int(v) == x;
        if (!GST_VALUE_HOLDS_INT_RANGE(v))
            return;
        const int min = gst_value_get_int_range_min(v);
        const int step = std::max(1, gst_value_get_int_range_step(v));
        accepted =
            accepted || (x >= min && x <= gst_value_get_int_range_max(v) && (x - min) % step == 0);
    });
    return accepted;
}

std::vector<TSize> Sizes(const GstStructure* s)
{
    const GValue* w = gst_structure_get_value(s, "width");
    const GValue* h = gst_structure_get_value(s, "height");
    std::vector<TSize> out;
    const auto add = [&](TSize size) {
        const bool plausible =
            size.width > 0 && size.height > 0 && size.width <= MaxSide && size.height <= MaxSide;
        const bool seen = std::any_of(out.begin(), out.end(), [&](const TSize& o) {
            return o.width == size.width && o.height == size.height;
        });
        if (plausible && !seen)
            out.push_back(size);
    };
    const auto ints = [](const GValue* field) {
        std::vector<int> values;
        Each(field, [&](const GValue* v) {
            if (G_VALUE_HOLDS_INT(v))
                values.push_back(g_value_get_int(v));
        });
        return values;
    };
    const std::vector<int> ws = ints(w), hs = ints(h);
    for (size_t i = 0; i < ws.size() && out.size() < MaxModes; ++i)
        for (size_t j = 0; j < hs.size() && out.size() < MaxModes; ++j)
            add({ws[i], hs[j]});
    for (const TSize& c : CandidateSizes)
        if (Accepts(w, c.width) && Accepts(h, c.height))
            add(c);
    return out;
}

std::vector<std::pair<int, int>> Rates(const GValue* field)
{
    std::vector<std::pair<int, int>> out;
    const auto add = [&](const GValue* fraction) {
        const int n = gst_value_get_fraction_numerator(fraction);
        const int d = gst_value_get_fraction_denominator(fraction);
        if (n > 0 && d > 0)
            out.emplace_back(n, d);
    };
    Each(field, [&](const GValue* v) {
        if (GST_VALUE_HOLDS_FRACTION(v))
            add(v);
        if (!GST_VALUE_HOLDS_FRACTION_RANGE(v))
            return;
        const GValue* lo = gst_value_get_fraction_range_min(v);
        const GValue* hi = gst_value_get_fraction_range_max(v);
        const double min =
            double(gst_value_get_fraction_numerator(lo)) / gst_value_get_fraction_denominator(lo);
        const double max =
            double(gst_value_get_fraction_numerator(hi)) / gst_value_get_fraction_denominator(hi);
        const size_t before = out.size();
        for (int fps : CandidateRates)
            if (fps >= min && fps <= max)
                out.emplace_back(fps, 1);
        if (out.size() == before)
            add(hi);
    });
    return out;
}

bool SystemMemory(const GstCaps* caps, guint index)
{
    const GstCapsFeatures* features = gst_caps_get_features(caps, index);
    return !features || gst_caps_features_is_any(features) ||
           gst_caps_features_is_equal(features, GST_CAPS_FEATURES_MEMORY_SYSTEM_MEMORY);
}

// Every mode of one layout and size tells the range of all the rates it comes in.
void FillRateRanges(std::vector<TCameraMode>& modes)
{
    for (TCameraMode& m : modes) {
        for (const TCameraMode& o : modes) {
            if (o.Rate() <= 0 || o.Media != m.Media || o.Format != m.Format || o.Width != m.Width ||
                o.Height != m.Height)
                continue;
            m.MinRate = m.MinRate > 0 ? std::min(m.MinRate, o.Rate()) : o.Rate();
            m.MaxRate = std::max(m.MaxRate, o.Rate());
        }
    }
}

} // namespace

std::vector<TCameraMode> FromCaps(const GstCaps* caps)
{
    std::vector<TCameraMode> modes;
    if (!caps)
        return modes;
    for (guint i = 0; i < gst_caps_get_size(caps) && modes.size() < MaxModes; ++i) {
        const GstStructure* s = gst_caps_get_structure(caps, i);
        const QByteArray media = gst_structure_get_name(s);
        const bool dv = media == "video/x-dv";
        gboolean system = FALSE;
        // A DV camera delivers the whole stream, picture and sound; the picture alone is no mode.
        if (!SystemMemory(caps, i) ||
            (dv && !(gst_structure_get_boolean(s, "systemstream", &system) && system)))
            continue;
        std::vector<QByteArray> formats;
        Each(gst_structure_get_value(s, "format"), [&](const GValue* v) {
            if (G_VALUE_HOLDS_STRING(v) && g_value_get_string(v))
                formats.emplace_back(g_value_get_string(v));
        });
        if (media != "video/x-raw")
            formats = {QByteArray()};
        std::vector<TSize> sizes = Sizes(s);
        std::vector<std::pair<int, int>> rates = Rates(gst_structure_get_value(s, "framerate"));
        // A DV camera that states no size or rate is taken as PAL; its stream is used as it comes.
        if (dv && (sizes.empty() || rates.empty())) {
            sizes = {{720, 576}};
            rates = {{25, 1}};
        }
        if (rates.empty())
            rates = {{0, 1}}; // the device runs at whatever rate it has
        for (const QByteArray& format : formats) {
            const auto layout = Layout(media, format);
            for (size_t k = 0; layout && k < sizes.size() * rates.size(); ++k) {
                if (modes.size() >= MaxModes)
                    break;
                const TSize& size = sizes[k / rates.size()];
                const auto [num, den] = rates[k % rates.size()];
                TCameraMode m{.Media = media,
                              .Format = format,
                              .FourCC = layout->fourcc,
                              .Bits = layout->bits,
                              .Width = size.width,
                              .Height = size.height,
                              .RateNum = num,
                              .RateDen = den};
                if (std::find(modes.begin(), modes.end(), m) == modes.end())
                    modes.push_back(std::move(m));
            }
        }
    }
    if (modes.size() >= MaxModes)
        qCWarning(lcCapture) << "the camera offers more modes than are listed:" << MaxModes;
    FillRateRanges(modes);
    return modes;
}

std::vector<TCameraMode> FromCaps(const QByteArray& capsText)
{
    gst_init(nullptr, nullptr);
    TGstCapsPtr caps(gst_caps_from_string(capsText.constData()));
    return FromCaps(caps.get());
}

QByteArray SourceCaps(const TCameraMode& mode)
{
    if (mode.IsDV())
        return "video/x-dv,systemstream=(boolean)true";
    QByteArray caps = mode.Media;
    if (!mode.Format.isEmpty())
        caps += ",format=(string)" + mode.Format;
    caps += ",width=(int)" + QByteArray::number(mode.Width) + ",height=(int)" +
            QByteArray::number(mode.Height);
    if (mode.RateNum > 0 && mode.RateDen > 0)
        caps += ",framerate=(fraction)" + QByteArray::number(mode.RateNum) + "/" +
                QByteArray::number(mode.RateDen);
    return caps;
}

int DefaultMode(const std::vector<TCameraMode>& modes)
{
    const auto vga = std::find_if(modes.begin(), modes.end(), [](const TCameraMode& m) {
        return m.Width == 640 && m.Height == 480;
    });
    if (vga != modes.end())
        return int(vga - modes.begin());
    return modes.empty() ? -1 : 0;
}

QByteArray TestCameraCaps()
{
    QByteArray out;
    for (const char* format : {"BGR", "YUY2", "BGRx"})
        for (const TSize& size : {TSize{640, 480}, TSize{320, 240}, TSize{1280, 720}})
            for (int fps : {30, 15})
                out += "video/x-raw,format=" + QByteArray(format) +
                       ",width=" + QByteArray::number(size.width) +
                       ",height=" + QByteArray::number(size.height) +
                       ",framerate=" + QByteArray::number(fps) + "/1; ";
    // Compressed as a USB camera sends its larger sizes.
    return out + "image/jpeg,width=1280,height=720,framerate=30/1; "
                 "image/jpeg,width=640,height=480,framerate=30/1";
}

QByteArray TestDVCameraCaps()
{
    return "video/x-dv,systemstream=true,width=720,height=576,framerate=25/1";
}

} // namespace GstCameraModes

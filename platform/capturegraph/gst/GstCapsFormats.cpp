#include "platform/capturegraph/gst/GstCapsFormats.h"

#include "platform/capturegraph/CaptureGuids.h"
#include "platform/capturegraph/gst/GstRef.h"

#include <gst/gst.h>
#include <gst/video/video.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace GstCapsFormats {

namespace {

struct TFormatInfo
{
    TGuid subtype;
    quint16 bits = 0;
    quint32 compression = 0;
    bool dib = false;
};

struct TSize
{
    int width;
    int height;
};

// Sizes tried when a device offers a range rather than fixed sizes.
const TSize kCandidateSizes[] = {{160, 120}, {320, 240},  {352, 288},  {640, 480},
                                 {800, 600}, {1280, 720}, {1920, 1080}};
const int kCandidateRates[] = {30, 25, 20, 15, 10, 5};

quint32 FourCC(const char code[4])
{
    return quint32(quint8(code[0])) | quint32(quint8(code[1])) << 8 |
           quint32(quint8(code[2])) << 16 | quint32(quint8(code[3])) << 24;
}

TGuid GuidFromFourCC(quint32 code)
{
    const char chars[4] = {char(code & 0xFF), char((code >> 8) & 0xFF), char((code >> 16) & 0xFF),
                           char((code >> 24) & 0xFF)};
    return CaptureGuids::FromFourCC(chars);
}

std::optional<TFormatInfo> InfoForMedia(const QByteArray& name, const QByteArray& format)
{
    using namespace CaptureGuids;
    if (name == "image/jpeg")
        return TFormatInfo{FromFourCC("MJPG"), 24, FourCC("MJPG"), false};
    if (name == "video/x-dv")
        return TFormatInfo{MEDIASUBTYPE_dvsd, 24, FourCC("dvsd"), false};
    if (name != "video/x-raw")
        return std::nullopt;
    if (format == "BGR" || format == "RGB")
        return TFormatInfo{MEDIASUBTYPE_RGB24, 24, 0, true};
    if (format == "BGRx" || format == "BGRA")
        return TFormatInfo{MEDIASUBTYPE_RGB32, 32, 0, true};
    if (format == "RGB16")
        return TFormatInfo{MEDIASUBTYPE_RGB565, 16, 3, true}; // bit fields
    if (format == "RGB15")
        return TFormatInfo{MEDIASUBTYPE_RGB555, 16, 0, true};
    const GstVideoFormat vf = gst_video_format_from_string(format.constData());
    if (vf == GST_VIDEO_FORMAT_UNKNOWN)
        return std::nullopt;
    const quint32 fourcc = gst_video_format_to_fourcc(vf);
    if (fourcc == 0)
        return std::nullopt;
    GstVideoInfo info;
    if (!gst_video_info_set_format(&info, vf, 64, 64))
        return std::nullopt;
    const auto bits = quint16(GST_VIDEO_INFO_SIZE(&info) * 8 / (64 * 64));
    return TFormatInfo{GuidFromFourCC(fourcc), bits, fourcc, false};
}

quint32 ImageSize(const TFormatInfo& info, int width, int height)
{
    if (info.dib || info.compression == 0)
        return quint32(DibStride(width, info.bits) * height);
    return quint32(qint64(width) * height * info.bits / 8);
}

void Collect(const GValue* value, std::vector<QByteArray>& out)
{
    if (!value)
        return;
    if (G_VALUE_HOLDS_STRING(value))
        out.emplace_back(g_value_get_string(value));
    else if (GST_VALUE_HOLDS_LIST(value))
        for (guint i = 0; i < gst_value_list_get_size(value); ++i)
            Collect(gst_value_list_get_value(value, i), out);
}

void CollectInts(const GValue* value, std::vector<int>& out)
{
    if (!value)
        return;
    if (G_VALUE_HOLDS_INT(value)) {
        out.push_back(g_value_get_int(value));
    } else if (GST_VALUE_HOLDS_LIST(value)) {
        for (guint i = 0; i < gst_value_list_get_size(value); ++i)
            CollectInts(gst_value_list_get_value(value, i), out);
    }
}

std::vector<TSize> Sizes(const GstStructure* s)
{
    const GValue* w = gst_structure_get_value(s, "width");
    const GValue* h = gst_structure_get_value(s, "height");
    std::vector<TSize> out;
    if (w && h && GST_VALUE_HOLDS_INT_RANGE(w) && GST_VALUE_HOLDS_INT_RANGE(h)) {
        for (const TSize& c : kCandidateSizes)
            if (c.width >= gst_value_get_int_range_min(w) &&
                c.width <= gst_value_get_int_range_max(w) &&
                c.height >= gst_value_get_int_range_min(h) &&
                c.height <= gst_value_get_int_range_max(h))
                out.push_back(c);
        return out;
    }
    std::vector<int> ws, hs;
    CollectInts(w, ws);
    CollectInts(h, hs);
    for (int x : ws)
        for (int y : hs)
            out.push_back({x, y});
    return out;
}

void CollectRates(const GValue* value, std::vector<std::pair<int, int>>& out)
{
    if (!value)
        return;
    if (GST_VALUE_HOLDS_FRACTION(value)) {
        const int n = gst_value_get_fraction_numerator(value);
        const int d = gst_value_get_fraction_denominator(value);
        if (n > 0 && d > 0)
            out.emplace_back(n, d);
    } else if (GST_VALUE_HOLDS_LIST(value)) {
        for (guint i = 0; i < gst_value_list_get_size(value); ++i)
            CollectRates(gst_value_list_get_value(value, i), out);
    } else if (GST_VALUE_HOLDS_FRACTION_RANGE(value)) {
        const GValue* lo = gst_value_get_fraction_range_min(value);
        const GValue* hi = gst_value_get_fraction_range_max(value);
        const double min =
            double(gst_value_get_fraction_numerator(lo)) / gst_value_get_fraction_denominator(lo);
        const double max =
            double(gst_value_get_fraction_numerator(hi)) / gst_value_get_fraction_denominator(hi);
        const size_t before = out.size();
        for (int fps : kCandidateRates)
            if (fps >= min && fps <= max)
                out.emplace_back(fps, 1);
        if (out.size() == before && max > 0)
            out.emplace_back(gst_value_get_fraction_numerator(hi),
                             gst_value_get_fraction_denominator(hi));
    }
}

qint64 Interval(const std::pair<int, int>& rate)
{
    return qint64(std::llround(10000000.0 * rate.second / rate.first));
}

// Every mode of one format and size shares the interval range of all its rates.
void FillRanges(std::vector<TGstMode>& modes)
{
    for (TGstMode& m : modes) {
        const auto h = m.type.BitmapHeader();
        qint64 lo = m.type.AvgTimePerFrame(), hi = lo;
        for (const TGstMode& o : modes) {
            const auto oh = o.type.BitmapHeader();
            if (o.type.subtype == m.type.subtype && oh->biWidth == h->biWidth &&
                oh->biHeight == h->biHeight) {
                lo = std::min(lo, o.type.AvgTimePerFrame());
                hi = std::max(hi, o.type.AvgTimePerFrame());
            }
        }
        m.range.MinFrameInterval = lo;
        m.range.MaxFrameInterval = hi;
    }
}

} // namespace

int DibStride(int width, int bits)
{
    return ((width * bits + 31) / 32) * 4;
}

std::vector<TGstMode> VideoModes(const GstCaps* caps)
{
    std::vector<TGstMode> modes;
    if (!caps)
        return modes;
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        const GstStructure* s = gst_caps_get_structure(caps, i);
        const QByteArray name = gst_structure_get_name(s);
        gboolean system = FALSE;
        const bool dv = name == "video/x-dv";
        // Only a whole DV stream (picture and sound) is what a DV camera delivers.
        if (dv && !(gst_structure_get_boolean(s, "systemstream", &system) && system))
            continue;
        std::vector<QByteArray> formats;
        Collect(gst_structure_get_value(s, "format"), formats);
        if (name != "video/x-raw")
            formats = {QByteArray()};
        std::vector<std::pair<int, int>> rates;
        CollectRates(gst_structure_get_value(s, "framerate"), rates);
        std::vector<TSize> sizes = Sizes(s);
        // A DV camera that states no size or rate is taken as PAL; its stream is used as it comes.
        if (dv && (sizes.empty() || rates.empty())) {
            sizes = {{720, 576}};
            rates = {{25, 1}};
        }
        for (const QByteArray& format : formats) {
            const auto info = InfoForMedia(name, format);
            if (!info)
                continue;
            for (const TSize& size : sizes) {
                for (const auto& rate : rates) {
                    TBitmapInfoHeader h;
                    h.biWidth = size.width;
                    h.biHeight = size.height;
                    h.biBitCount = info->bits;
                    h.biCompression = info->compression;
                    h.biSizeImage = ImageSize(*info, size.width, size.height);
                    TGstMode m;
                    m.type = TMediaType::Video(info->subtype, h, Interval(rate));
                    if (dv)
                        m.type.majortype = CaptureGuids::MEDIATYPE_Interleaved;
                    m.caps = name + (dv ? ",systemstream=(boolean)true" : "") +
                             (format.isEmpty() ? "" : ",format=(string)" + format) +
                             ",width=(int)" + QByteArray::number(size.width) + ",height=(int)" +
                             QByteArray::number(size.height) + ",framerate=(fraction)" +
                             QByteArray::number(rate.first) + "/" + QByteArray::number(rate.second);
                    const bool seen =
                        std::any_of(modes.begin(), modes.end(),
                                    [&](const TGstMode& o) { return o.caps == m.caps; });
                    if (!seen)
                        modes.push_back(m);
                }
            }
        }
    }
    FillRanges(modes);
    return modes;
}

std::vector<TGstMode> VideoModes(const QByteArray& capsText)
{
    gst_init(nullptr, nullptr);
    TGstCapsPtr caps(gst_caps_from_string(capsText.constData()));
    return VideoModes(caps.get());
}

std::vector<TGstMode> AudioModes(const GstCaps* caps)
{
    std::vector<TGstMode> modes;
    if (!caps)
        return modes;
    const int rates[] = {44100, 48000, 22050, 16000, 11025, 8000};
    const struct
    {
        const char* format;
        int bits;
    } samples[] = {{"S16LE", 16}, {"U8", 8}};
    for (int rate : rates) {
        for (int channels : {2, 1}) {
            for (const auto& sample : samples) {
                const QByteArray text = "audio/x-raw,format=(string)" + QByteArray(sample.format) +
                                        ",layout=(string)interleaved,rate=(int)" +
                                        QByteArray::number(rate) + ",channels=(int)" +
                                        QByteArray::number(channels);
                TGstCapsPtr candidate(gst_caps_from_string(text.constData()));
                if (!candidate || !gst_caps_can_intersect(candidate.get(), caps))
                    continue;
                TWaveFormatEx w;
                w.nChannels = quint16(channels);
                w.nSamplesPerSec = quint32(rate);
                w.wBitsPerSample = quint16(sample.bits);
                w.nBlockAlign = quint16(channels * sample.bits / 8);
                w.nAvgBytesPerSec = w.nSamplesPerSec * w.nBlockAlign;
                modes.push_back({TMediaType::Audio(CaptureGuids::MEDIASUBTYPE_PCM, w), {}, text});
            }
        }
    }
    return modes;
}

QByteArray TestCameraCaps()
{
    QByteArray out;
    for (const char* format : {"BGR", "YUY2", "BGRx"})
        for (const TSize& size : {TSize{640, 480}, TSize{320, 240}, TSize{1280, 720}})
            for (int fps : {30, 15}) {
                if (!out.isEmpty())
                    out += "; ";
                out += "video/x-raw,format=" + QByteArray(format) +
                       ",width=" + QByteArray::number(size.width) +
                       ",height=" + QByteArray::number(size.height) +
                       ",framerate=" + QByteArray::number(fps) + "/1";
            }
    return out;
}

QByteArray TestDVCameraCaps()
{
    return "video/x-dv,systemstream=true,width=720,height=576,framerate=25/1";
}

QByteArray SourceCaps(const QByteArray& modeCaps)
{
    if (modeCaps.startsWith("video/x-dv"))
        return "video/x-dv,systemstream=(boolean)true";
    return modeCaps;
}

QByteArray GstFormatForSubtype(const TGuid& subtype)
{
    using namespace CaptureGuids;
    if (subtype == MEDIASUBTYPE_RGB24)
        return "BGR";
    if (subtype == MEDIASUBTYPE_RGB32)
        return "BGRx";
    if (subtype == MEDIASUBTYPE_RGB565)
        return "RGB16";
    if (subtype == MEDIASUBTYPE_RGB555)
        return "RGB15";
    // Only subtypes built by the four-character rule can name a raw format.
    if (GuidFromFourCC(subtype.Data1) != subtype)
        return {};
    const GstVideoFormat vf = gst_video_format_from_fourcc(subtype.Data1);
    if (vf == GST_VIDEO_FORMAT_UNKNOWN)
        return {};
    return gst_video_format_to_string(vf);
}

bool IsBottomUpFormat(const QByteArray& gstFormat)
{
    return gstFormat == "BGR" || gstFormat == "BGRx" || gstFormat == "RGB16" ||
           gstFormat == "RGB15";
}

std::optional<TMediaType> VideoTypeFromCaps(const GstCaps* caps)
{
    GstVideoInfo vi;
    if (!caps || !gst_video_info_from_caps(&vi, caps))
        return std::nullopt;
    const QByteArray format = gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(&vi));
    const auto info = InfoForMedia("video/x-raw", format);
    if (!info)
        return std::nullopt;
    const int width = GST_VIDEO_INFO_WIDTH(&vi);
    const int height = GST_VIDEO_INFO_HEIGHT(&vi);
    TBitmapInfoHeader h;
    h.biWidth = width;
    h.biHeight = height;
    h.biBitCount = info->bits;
    h.biCompression = info->compression;
    h.biSizeImage = info->dib ? quint32(DibStride(width, info->bits) * height)
                              : quint32(GST_VIDEO_INFO_SIZE(&vi));
    const int n = GST_VIDEO_INFO_FPS_N(&vi);
    const int d = GST_VIDEO_INFO_FPS_D(&vi);
    const qint64 interval = n > 0 ? qint64(std::llround(10000000.0 * d / n)) : 0;
    return TMediaType::Video(info->subtype, h, interval);
}

} // namespace GstCapsFormats

#include "capture/TGraphConfig.h"

#include "capture/TCommaText.h"
#include "capture/THexText.h"
#include "platform/ini/TIniFile.h"

#include <QStringList>
#include <QStringView>

#include <array>
#include <limits>
#include <optional>

namespace {

constexpr QStringView KeyPreallocFileSize = u"PreallocFileSize";
constexpr QStringView KeyTempCaptureFileName = u"TempCaptureFileName";
constexpr QStringView KeyCaptureFileName = u"CaptureFileName";
constexpr QStringView KeyDVResolution = u"DVResolution";
constexpr QStringView KeyPixelFormat = u"PixelFormat";
constexpr QStringView KeyVCapSource = u"VCapSource";
constexpr QStringView KeyACapSource = u"ACapSource";
constexpr QStringView KeyAComp = u"AComp";
constexpr QStringView KeyVComp = u"VComp";
constexpr QStringView KeyACapModeMediaSubType = u"ACapModeMediaSubType";
constexpr QStringView KeyACapModeSampleRate = u"ACapModeSampleRate";
constexpr QStringView KeyACapModeAvgSampleRate = u"ACapModeAvgSampleRate";
constexpr QStringView KeyACapModeSampleSize = u"ACapModeSampleSize";
constexpr QStringView KeyACapModeChannels = u"ACapModeChannels";
constexpr QStringView KeyVCapModeMediaSubType = u"VCapModeMediaSubType";
constexpr QStringView KeyVCapModeWidth = u"VCapModeWidth";
constexpr QStringView KeyVCapModeHeight = u"VCapModeHeight";
constexpr QStringView KeyVCapModeBits = u"VCapModeBits";
constexpr QStringView KeyVCompState = u"VCompState";

struct FlagKey
{
    QStringView key;
    bool TGraphConfig::*field;
};

// In the order they are written. Only false ones are written, as "=0".
constexpr std::array<FlagKey, 8> Flags{{
    {u"WantBitmaps", &TGraphConfig::WantBitmaps},
    {u"WantCapture", &TGraphConfig::WantCapture},
    {u"WantPreview", &TGraphConfig::WantPreview},
    {u"WantDVAudio", &TGraphConfig::WantDVAudio},
    {u"WantAudio", &TGraphConfig::WantAudio},
    {u"WantAudioPreview", &TGraphConfig::WantAudioPreview},
    {u"DoPreallocFile", &TGraphConfig::DoPreallocFile},
    {u"UseTempFile", &TGraphConfig::UseTempFile},
}};

// Decimal digits with an optional sign; nothing for anything else or for a magnitude beyond
// 32 bits, which no field can hold.
std::optional<qint64> ParseDecimal(QStringView text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > std::numeric_limits<quint32>::max())
            return std::nullopt;
    }
    return negative ? -value : value;
}

qint32 ToInt32(QStringView text, qint32 def)
{
    const std::optional<qint64> value = ParseDecimal(text);
    if (!value || *value < std::numeric_limits<qint32>::min() ||
        *value > std::numeric_limits<qint32>::max())
        return def;
    return static_cast<qint32>(*value);
}

quint32 ToUInt32(QStringView text, quint32 def)
{
    const std::optional<qint64> value = ParseDecimal(text);
    if (!value || *value < 0)
        return def;
    return static_cast<quint32>(*value);
}

// Only the low byte of a stored ordinal counts, as it did when the field was one byte wide.
int LowByteOrdinal(QStringView text, int def, int count)
{
    const int ordinal = ToInt32(text, def) & 0xFF;
    return ordinal < count ? ordinal : def;
}

QString Item(QStringView key, const QString& value)
{
    return key.toString() + QLatin1Char('=') + value;
}

QString GuidText(const TGuid& guid)
{
    return THexText::Encode(guid.ToBytes());
}

TGuid GuidFromText(QStringView text)
{
    return TGuid::FromBytes(THexText::Decode(text));
}

} // namespace

void TGraphConfig::Clear()
{
    VCapSource.clear();
    ACapSource.clear();
    VComp.clear();
    AComp.clear();
    ACapMode = TACapMode{};
    VCapMode = TVCapMode{};
    WantCapture = false;
    WantPreview = false;
    WantBitmaps = false;
    WantAudio = false;
    WantDVAudio = false;
    WantAudioPreview = true;
    PixelFormat = TPixelFormat::pf24bit;
    DVResolution = TDVResolution::dvrFull;
    CaptureFileName = DefaultCaptureFileName;
    UseTempFile = false;
    TempCaptureFileName = DefaultTempCaptureFileName;
    DoPreallocFile = false;
    PreallocFileSize = 0;
}

void TGraphConfig::LoadFromString(const QString& text)
{
    Clear();
    const QStringList items = TCommaText::Split(text);
    auto value = [&items](QStringView key) { return TCommaText::Value(items, key); };
    auto number = [&value](QStringView key) { return ToInt32(value(key), 0); };

    for (const FlagKey& flag : Flags)
        this->*flag.field = ToInt32(value(flag.key), 1) > 0;

    PreallocFileSize = ToUInt32(value(KeyPreallocFileSize), 0);
    TempCaptureFileName = value(KeyTempCaptureFileName);
    if (TempCaptureFileName.isEmpty())
        TempCaptureFileName = DefaultTempCaptureFileName;
    CaptureFileName = value(KeyCaptureFileName);
    if (CaptureFileName.isEmpty())
        CaptureFileName = DefaultCaptureFileName;

    DVResolution = static_cast<TDVResolution>(LowByteOrdinal(
        value(KeyDVResolution), static_cast<int>(TDVResolution::dvrFull), TDVResolutionCount));
    PixelFormat = static_cast<TPixelFormat>(LowByteOrdinal(
        value(KeyPixelFormat), static_cast<int>(TPixelFormat::pf24bit), TPixelFormatCount));

    VCapSource = value(KeyVCapSource);
    ACapSource = value(KeyACapSource);
    AComp = value(KeyAComp);
    VComp = value(KeyVComp);

    ACapMode.MediaSubType = GuidFromText(value(KeyACapModeMediaSubType));
    ACapMode.SampleRate = number(KeyACapModeSampleRate);
    ACapMode.AvgSampleRate = number(KeyACapModeAvgSampleRate);
    ACapMode.SampleSize = number(KeyACapModeSampleSize);
    ACapMode.Channels = number(KeyACapModeChannels);

    VCapMode.MediaSubType = GuidFromText(value(KeyVCapModeMediaSubType));
    VCapMode.Width = number(KeyVCapModeWidth);
    VCapMode.Height = number(KeyVCapModeHeight);
    VCapMode.Bits = number(KeyVCapModeBits);

    VCompState = THexText::Decode(value(KeyVCompState));
}

QString TGraphConfig::SaveToString() const
{
    QStringList items;
    for (const FlagKey& flag : Flags)
        if (!(this->*flag.field))
            items << Item(flag.key, QStringLiteral("0"));

    items << Item(KeyPreallocFileSize, QString::number(PreallocFileSize));
    items << Item(KeyTempCaptureFileName, TempCaptureFileName);
    items << Item(KeyCaptureFileName, CaptureFileName);
    items << Item(KeyDVResolution, QString::number(static_cast<int>(DVResolution)));
    items << Item(KeyPixelFormat, QString::number(static_cast<int>(PixelFormat)));

    items << Item(KeyVCapSource, VCapSource);
    items << Item(KeyACapSource, ACapSource);
    items << Item(KeyAComp, AComp);
    items << Item(KeyVComp, VComp);

    items << Item(KeyACapModeMediaSubType, GuidText(ACapMode.MediaSubType));
    items << Item(KeyACapModeSampleRate, QString::number(ACapMode.SampleRate));
    items << Item(KeyACapModeAvgSampleRate, QString::number(ACapMode.AvgSampleRate));
    items << Item(KeyACapModeSampleSize, QString::number(ACapMode.SampleSize));
    items << Item(KeyACapModeChannels, QString::number(ACapMode.Channels));

    items << Item(KeyVCapModeMediaSubType, GuidText(VCapMode.MediaSubType));
    items << Item(KeyVCapModeWidth, QString::number(VCapMode.Width));
    items << Item(KeyVCapModeHeight, QString::number(VCapMode.Height));
    items << Item(KeyVCapModeBits, QString::number(VCapMode.Bits));

    items << Item(KeyVCompState, THexText::Encode(VCompState));
    return TCommaText::Join(items);
}

QString TGraphConfig::ReadConfigText(const QString& iniFileName)
{
    return TIniFile(iniFileName).ReadString(ConfigSection, ConfigKey, QString());
}

void TGraphConfig::WriteConfigText(const QString& iniFileName, const QString& text)
{
    TIniFile(iniFileName).WriteString(ConfigSection, ConfigKey, text);
}

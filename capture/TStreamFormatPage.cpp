#include "capture/TStreamFormatPage.h"

#include "platform/capturegraph/CaptureGuids.h"

#include <cmath>
#include <cstdlib>

namespace {
// However many formats a driver claims, a page lists no more than this.
constexpr int MaxFormats = 512;

QString FourCC(quint32 code)
{
    QString text;
    for (int i = 0; i < 4; ++i) {
        const char c = char((code >> (8 * i)) & 0xFF);
        text += (c >= 0x20 && c < 0x7F) ? QChar::fromLatin1(c) : QChar(u'?');
    }
    return text.trimmed();
}

// Two formats are the same choice when they carry the same kind of picture or sound.
bool SameFormat(const TMediaType& a, const TMediaType& b)
{
    if (a.majortype != b.majortype || a.subtype != b.subtype)
        return false;
    if (const auto ha = a.BitmapHeader()) {
        const auto hb = b.BitmapHeader();
        return hb && std::abs(ha->biWidth) == std::abs(hb->biWidth) &&
               std::abs(ha->biHeight) == std::abs(hb->biHeight) &&
               ha->biBitCount == hb->biBitCount &&
               (a.AvgTimePerFrame() == 0 || b.AvgTimePerFrame() == 0 ||
                a.AvgTimePerFrame() == b.AvgTimePerFrame());
    }
    if (const auto wa = a.WaveFormat()) {
        const auto wb = b.WaveFormat();
        return wb && wa->nSamplesPerSec == wb->nSamplesPerSec &&
               wa->wBitsPerSample == wb->wBitsPerSample && wa->nChannels == wb->nChannels;
    }
    return a.format == b.format;
}
} // namespace

TStreamFormatPage::TStreamFormatPage(std::shared_ptr<IAMStreamConfig> config, QString title)
    : config_(std::move(config)), title_(std::move(title))
{}

QString TStreamFormatPage::Describe(const TMediaType& type)
{
    if (const auto header = type.BitmapHeader()) {
        QString text = QStringLiteral("%1 x %2  ")
                           .arg(std::abs(header->biWidth))
                           .arg(std::abs(header->biHeight));
        text += header->biCompression ? FourCC(header->biCompression)
                                      : QStringLiteral("RGB%1").arg(header->biBitCount);
        if (const qint64 t = type.AvgTimePerFrame(); t > 0) {
            const double fps = 10'000'000.0 / double(t);
            text += QStringLiteral("  %1 fps")
                        .arg(std::fabs(fps - std::round(fps)) < 0.005
                                 ? QString::number(std::lround(fps))
                                 : QString::number(fps, 'f', 2));
        }
        return text;
    }
    if (const auto wave = type.WaveFormat())
        return QStringLiteral("%1 Hz  %2 bit  %3 channel%4")
            .arg(wave->nSamplesPerSec)
            .arg(wave->wBitsPerSample)
            .arg(wave->nChannels)
            .arg(wave->nChannels == 1 ? QString() : QStringLiteral("s"));
    return QStringLiteral("(unknown format)");
}

std::vector<TPropertyControl> TStreamFormatPage::Controls()
{
    TPropertyControl control;
    control.key = FormatKey;
    control.name = QStringLiteral("Format");
    control.kind = TPropertyControl::TKind::Menu;
    int count = 0;
    if (config_ && Hr::Succeeded(config_->GetNumberOfCapabilities(count))) {
        for (int i = 0; i < std::min(count, MaxFormats); ++i) {
            TMediaType type;
            TVideoStreamConfigCaps caps;
            if (Hr::Succeeded(config_->GetStreamCaps(i, type, caps)))
                control.menu.emplace_back(i, Describe(type));
        }
    }
    if (control.menu.empty())
        return {};
    control.minimum = double(control.menu.front().first);
    control.maximum = double(control.menu.back().first);
    return {control};
}

QVariant TStreamFormatPage::Value(const QString& key)
{
    TMediaType current;
    if (key != FormatKey || !config_ || Hr::Failed(config_->GetFormat(current)))
        return {};
    int count = 0;
    if (Hr::Failed(config_->GetNumberOfCapabilities(count)))
        return {};
    for (int i = 0; i < std::min(count, MaxFormats); ++i) {
        TMediaType type;
        TVideoStreamConfigCaps caps;
        if (Hr::Succeeded(config_->GetStreamCaps(i, type, caps)) && SameFormat(type, current))
            return qint64(i);
    }
    return qint64(-1);
}

bool TStreamFormatPage::SetValue(const QString& key, const QVariant& value)
{
    bool isNumber = false;
    const qint64 index = value.toLongLong(&isNumber);
    int count = 0;
    if (key != FormatKey || !isNumber || !config_ ||
        Hr::Failed(config_->GetNumberOfCapabilities(count)) || index < 0 ||
        index >= std::min(count, MaxFormats))
        return false;
    TMediaType type;
    TVideoStreamConfigCaps caps;
    return Hr::Succeeded(config_->GetStreamCaps(int(index), type, caps)) &&
           config_->SetFormat(type) == Hr::S_OK;
}

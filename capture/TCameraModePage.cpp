#include "capture/TCameraModePage.h"

#include "platform/camera/ICamera.h"

#include <algorithm>
#include <cmath>

#include <QCoreApplication>

namespace {
// However many formats a driver claims, a page lists no more than this.
constexpr int MaxFormats = 512;

QString FourCCText(quint32 code)
{
    QString text;
    for (int i = 0; i < 4; ++i) {
        const char c = char((code >> (8 * i)) & 0xFF);
        text += (c >= 0x20 && c < 0x7F) ? QChar::fromLatin1(c) : QChar(u'?');
    }
    return text.trimmed();
}

int Count(const ICamera& camera)
{
    return std::min(int(camera.Modes().size()), MaxFormats);
}
} // namespace

TCameraModePage::TCameraModePage(ICamera& camera, QString title)
    : camera_(camera), title_(std::move(title))
{}

QString TCameraModePage::Describe(const TCameraMode& mode)
{
    QString text = QStringLiteral("%1 x %2  ").arg(mode.Width).arg(mode.Height);
    text += mode.FourCC ? FourCCText(mode.FourCC) : QStringLiteral("RGB%1").arg(mode.Bits);
    if (const double fps = mode.Rate(); fps > 0)
        text +=
            QStringLiteral("  %1 fps")
                .arg(std::fabs(fps - std::round(fps)) < 0.005 ? QString::number(std::lround(fps))
                                                              : QString::number(fps, 'f', 2));
    return text;
}

std::vector<TPropertyControl> TCameraModePage::Controls()
{
    TPropertyControl control;
    control.key = FormatKey;
    control.name = QCoreApplication::translate("TCameraModePage", "Format");
    control.kind = TPropertyControl::TKind::Menu;
    for (int i = 0; i < Count(camera_); ++i)
        control.menu.emplace_back(i, Describe(camera_.Modes()[size_t(i)]));
    if (control.menu.empty())
        return {};
    control.minimum = 0;
    control.maximum = double(control.menu.size() - 1);
    return {control};
}

QVariant TCameraModePage::Value(const QString& key)
{
    if (key != FormatKey)
        return {};
    const int mode = camera_.Mode();
    return qint64(mode < Count(camera_) ? mode : -1);
}

bool TCameraModePage::SetValue(const QString& key, const QVariant& value)
{
    bool isNumber = false;
    const qint64 index = value.toLongLong(&isNumber);
    if (key != FormatKey || !isNumber || index < 0 || index >= Count(camera_))
        return false;
    return camera_.SetMode(int(index));
}

#include "platform/camera/v4l2/TV4l2ControlPage.h"

#include "platform/logging/Logging.h"

#include <QByteArray>
#include <QByteArrayView>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

namespace {
constexpr quint32 EnumerationFlags = V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND;

// The page entry kind a control is shown as; none for what a property page cannot show.
std::optional<TPropertyControl::TKind> KindOf(const v4l2_queryctrl& query)
{
    if (query.flags & V4L2_CTRL_FLAG_DISABLED)
        return std::nullopt;
    switch (query.type) {
    case V4L2_CTRL_TYPE_INTEGER:
        return TPropertyControl::TKind::Integer;
    case V4L2_CTRL_TYPE_INTEGER64:
        // The 32-bit query zeroes the range of a 64-bit control whose range does not fit it.
        if (query.minimum < query.maximum)
            return TPropertyControl::TKind::Integer;
        return std::nullopt;
    case V4L2_CTRL_TYPE_BOOLEAN:
        return TPropertyControl::TKind::Boolean;
    case V4L2_CTRL_TYPE_MENU:
    case V4L2_CTRL_TYPE_INTEGER_MENU:
        return TPropertyControl::TKind::Menu;
    case V4L2_CTRL_TYPE_BUTTON:
        return TPropertyControl::TKind::Button;
    default:
        // Control classes are headings, strings and bitmasks need editors of their own, compound
        // controls cannot be read through G_CTRL at all.
        return std::nullopt;
    }
}

bool IsReadOnly(const v4l2_queryctrl& query)
{
    // Grabbed: in use by streaming, so a change would be refused with EBUSY anyway.
    return query.flags & (V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_GRABBED);
}

qint64 StepOf(const v4l2_queryctrl& query)
{
    return query.step > 0 ? query.step : 1;
}

// A lead byte of a UTF-8 sequence followed by fewer continuation bytes than it needs.
bool IsCutUtf8Sequence(QByteArrayView tail)
{
    const auto lead = static_cast<unsigned char>(tail.front());
    const qsizetype needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (needed <= tail.size() || lead > 0xF4)
        return false;
    return std::all_of(tail.begin() + 1, tail.end(),
                       [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; });
}

// A driver's fixed-size name field: up to the first NUL or the end of the array, never further.
// Drivers write UTF-8 (or plain ASCII); anything else is taken as Latin-1 rather than dropped.
QString TextOf(const __u8* bytes, size_t size)
{
    const __u8* end = std::find(bytes, bytes + size, __u8{0});
    const QByteArrayView raw(reinterpret_cast<const char*>(bytes), end - bytes);
    QString text;
    if (raw.isValidUtf8()) {
        text = QString::fromUtf8(raw);
    } else {
        // The kernel cuts long names to fit the field, possibly inside a character.
        bool decoded = false;
        if (raw.size() + 1 >= static_cast<qsizetype>(size)) {
            for (qsizetype cut = 1; cut <= 3 && cut < raw.size() && !decoded; ++cut) {
                const QByteArrayView kept = raw.first(raw.size() - cut);
                if (IsCutUtf8Sequence(raw.last(cut)) && kept.isValidUtf8()) {
                    text = QString::fromUtf8(kept);
                    decoded = true;
                }
            }
        }
        if (!decoded)
            text = QString::fromLatin1(raw);
    }
    // The name becomes a one-line label.
    for (QChar& c : text) {
        const auto category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph)
            c = u' ';
    }
    return text;
}

std::optional<quint32> IdOf(const QString& key)
{
    bool ok = false;
    const uint id = key.toUInt(&ok, 10);
    // Only the exact decimal form: the flag bits would turn a lookup into an enumeration.
    if (!ok || id == 0 || (id & ~quint32(V4L2_CTRL_ID_MASK)) != 0 || QString::number(id) != key)
        return std::nullopt;
    return id;
}

// Whole numbers only: a fraction is not rounded into some other setting.
std::optional<qint64> WholeNumberOf(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        if (!std::isfinite(number) || std::trunc(number) != number ||
            std::fabs(number) > double(std::numeric_limits<qint32>::max()) + 1)
            return std::nullopt;
        return static_cast<qint64>(number);
    }
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    default: {
        bool ok = false;
        const qint64 number = value.toLongLong(&ok);
        if (!ok)
            return std::nullopt;
        return number;
    }
    }
}
} // namespace

TV4l2ControlPage::TV4l2ControlPage(std::shared_ptr<IV4l2Device> device, QString title)
    : Device(std::move(device)), PageTitle(std::move(title))
{}

QString TV4l2ControlPage::Title()
{
    return PageTitle;
}

std::vector<std::pair<qint64, QString>> TV4l2ControlPage::MenuOf(const v4l2_queryctrl& query)
{
    std::vector<std::pair<qint64, QString>> entries;
    const qint64 first = std::max<qint64>(query.minimum, 0);
    const qint64 last = std::min<qint64>(query.maximum, first + MaxMenuEntries - 1);
    for (qint64 index = first; index <= last; ++index) {
        v4l2_querymenu item{};
        item.id = query.id;
        item.index = static_cast<quint32>(index);
        // A refused index is a hole the driver leaves in its menu, not the end of it.
        if (Device->QueryMenu(item) != 0)
            continue;
        if (query.type == V4L2_CTRL_TYPE_INTEGER_MENU)
            entries.emplace_back(index, QString::number(static_cast<qint64>(item.value)));
        else
            entries.emplace_back(index, TextOf(item.name, sizeof item.name));
    }
    return entries;
}

std::vector<TPropertyControl> TV4l2ControlPage::Controls()
{
    std::vector<TPropertyControl> controls;
    if (!Device)
        return controls;
    quint32 last = 0;
    for (int count = 0; count < MaxControls; ++count) {
        v4l2_queryctrl query{};
        query.id = last | EnumerationFlags;
        if (const int error = Device->QueryControl(query); error != 0) {
            // EINVAL is how the driver says there is nothing after the last one.
            if (error != EINVAL)
                qCDebug(lcCapture)
                    << "V4L2: listing controls after" << last << "failed:" << std::strerror(error);
            break;
        }
        if (query.id <= last || (query.id & ~quint32(V4L2_CTRL_ID_MASK)) != 0) {
            qCDebug(lcCapture) << "V4L2: driver answered control" << query.id << "after" << last
                               << "; list ends here";
            break;
        }
        last = query.id;
        const auto kind = KindOf(query);
        if (!kind)
            continue;
        TPropertyControl control;
        control.key = QString::number(query.id);
        control.name = TextOf(query.name, sizeof query.name);
        control.kind = *kind;
        control.readOnly = IsReadOnly(query);
        control.inactive = query.flags & V4L2_CTRL_FLAG_INACTIVE;
        switch (*kind) {
        case TPropertyControl::TKind::Integer:
            control.minimum = query.minimum;
            control.maximum = query.maximum;
            control.step = static_cast<double>(StepOf(query));
            control.defaultValue = query.default_value;
            break;
        case TPropertyControl::TKind::Boolean:
            control.minimum = 0;
            control.maximum = 1;
            control.defaultValue = query.default_value != 0 ? 1 : 0;
            break;
        case TPropertyControl::TKind::Menu:
            control.minimum = query.minimum;
            control.maximum = query.maximum;
            control.defaultValue = query.default_value;
            control.menu = MenuOf(query);
            // Nothing to choose from: the driver refused every entry.
            if (control.menu.empty())
                continue;
            break;
        default:
            break;
        }
        controls.push_back(std::move(control));
    }
    return controls;
}

std::optional<v4l2_queryctrl> TV4l2ControlPage::QueryShown(const QString& key)
{
    const auto id = IdOf(key);
    if (!Device || !id)
        return std::nullopt;
    v4l2_queryctrl query{};
    query.id = *id;
    if (Device->QueryControl(query) != 0 || query.id != *id || !KindOf(query))
        return std::nullopt;
    return query;
}

bool TV4l2ControlPage::Accepts(const v4l2_queryctrl& query, qint64 value)
{
    switch (*KindOf(query)) {
    case TPropertyControl::TKind::Integer:
        return value >= query.minimum && value <= query.maximum &&
               (value - query.minimum) % StepOf(query) == 0;
    case TPropertyControl::TKind::Boolean:
        return value == 0 || value == 1;
    case TPropertyControl::TKind::Menu: {
        if (value < query.minimum || value > query.maximum || value < 0)
            return false;
        v4l2_querymenu item{};
        item.id = query.id;
        item.index = static_cast<quint32>(value);
        return Device->QueryMenu(item) == 0;
    }
    default:
        return false;
    }
}

QVariant TV4l2ControlPage::Value(const QString& key)
{
    const auto query = QueryShown(key);
    if (!query || query->type == V4L2_CTRL_TYPE_BUTTON)
        return {};
    v4l2_control control{};
    control.id = query->id;
    if (const int error = Device->GetControl(control); error != 0) {
        qCDebug(lcCapture) << "V4L2: reading control" << query->id
                           << "failed:" << std::strerror(error);
        return {};
    }
    return QVariant::fromValue<qint64>(control.value);
}

bool TV4l2ControlPage::SetValue(const QString& key, const QVariant& value)
{
    const auto query = QueryShown(key);
    if (!query || IsReadOnly(*query))
        return false;
    v4l2_control control{};
    control.id = query->id;
    if (query->type == V4L2_CTRL_TYPE_BUTTON) {
        control.value = 1;
    } else {
        const auto number = WholeNumberOf(value);
        if (!number || !Accepts(*query, *number))
            return false;
        control.value = static_cast<qint32>(*number);
    }
    if (const int error = Device->SetControl(control); error != 0) {
        qCDebug(lcCapture) << "V4L2: setting control" << query->id << "to" << control.value
                           << "failed:" << std::strerror(error);
        return false;
    }
    return true;
}

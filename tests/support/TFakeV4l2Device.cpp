#include "tests/support/TFakeV4l2Device.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
constexpr quint32 NextFlags = V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND;

bool IsCompound(quint32 type)
{
    return type >= V4L2_CTRL_COMPOUND_TYPES;
}

// What G_CTRL and S_CTRL can carry: 32-bit values only.
bool IsPlainValue(quint32 type)
{
    switch (type) {
    case V4L2_CTRL_TYPE_INTEGER:
    case V4L2_CTRL_TYPE_BOOLEAN:
    case V4L2_CTRL_TYPE_MENU:
    case V4L2_CTRL_TYPE_INTEGER_MENU:
    case V4L2_CTRL_TYPE_BITMASK:
    case V4L2_CTRL_TYPE_BUTTON:
        return true;
    default:
        return false;
    }
}

void CopyName(const QByteArray& name, __u8* field, size_t size)
{
    std::memset(field, 0, size);
    std::memcpy(field, name.constData(), std::min<size_t>(size, name.size()));
}
} // namespace

std::shared_ptr<TFakeV4l2Device> TFakeV4l2Device::Camera()
{
    auto device = std::make_shared<TFakeV4l2Device>();
    const auto add = [&](quint32 id, quint32 type, const char* name, qint32 minimum, qint32 maximum,
                         qint32 step, qint32 defaultValue, quint32 flags = 0) {
        TControl control;
        control.Id = id;
        control.Type = type;
        control.Name = name;
        control.Minimum = minimum;
        control.Maximum = maximum;
        control.Step = step;
        control.Default = defaultValue;
        control.Flags = flags;
        control.Value = defaultValue;
        device->Add(std::move(control));
    };
    constexpr quint32 ClassFlags = V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_WRITE_ONLY;
    add(UserClass, V4L2_CTRL_TYPE_CTRL_CLASS, "User Controls", 0, 0, 0, 0, ClassFlags);
    add(Brightness, V4L2_CTRL_TYPE_INTEGER, "Brightness", -64, 64, 1, 0);
    add(Contrast, V4L2_CTRL_TYPE_INTEGER, "Contrast", 0, 100, 5, 50);
    add(Saturation, V4L2_CTRL_TYPE_INTEGER, "Saturation", 0, 100, 1, 60, V4L2_CTRL_FLAG_DISABLED);
    add(AutoWhiteBalance, V4L2_CTRL_TYPE_BOOLEAN, "White Balance, Automatic", 0, 1, 1, 1);
    add(DoWhiteBalance, V4L2_CTRL_TYPE_BUTTON, "Do White Balance", 0, 0, 0, 0,
        V4L2_CTRL_FLAG_WRITE_ONLY | V4L2_CTRL_FLAG_EXECUTE_ON_WRITE);
    add(PowerLine, V4L2_CTRL_TYPE_MENU, "Power Line Frequency", 0, 3, 1, 1);
    device->Find(PowerLine)->MenuNames = {{0, "Disabled"}, {1, "50 Hz"}, {3, "Auto"}};
    add(Temperature, V4L2_CTRL_TYPE_INTEGER, "White Balance Temperature", 2800, 6500, 10, 4600,
        V4L2_CTRL_FLAG_INACTIVE);
    add(CameraClass, V4L2_CTRL_TYPE_CTRL_CLASS, "Camera Controls", 0, 0, 0, 0, ClassFlags);
    add(Focus, V4L2_CTRL_TYPE_INTEGER, "Focus, Absolute", 0, 255, 1, 68,
        V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_VOLATILE);
    add(Zoom, V4L2_CTRL_TYPE_INTEGER, "Zoom, Absolute", 100, 500, 1, 100, V4L2_CTRL_FLAG_GRABBED);
    add(LinkFrequency, V4L2_CTRL_TYPE_INTEGER_MENU, "Link Frequency", 0, 2, 1, 0);
    device->Find(LinkFrequency)->MenuValues = {{0, 456000000}, {1, 912000000}, {2, 5000000000}};
    add(Serial, V4L2_CTRL_TYPE_STRING, "Serial Number", 0, 16, 1, 0);
    add(Features, V4L2_CTRL_TYPE_BITMASK, "Features", 0, 0xff, 0, 0);
    // The 32-bit query reports 64-bit ranges that do not fit it as 0..0.
    add(PixelRate, V4L2_CTRL_TYPE_INTEGER64, "Pixel Rate", 0, 0, 0, 0, V4L2_CTRL_FLAG_READ_ONLY);
    add(Frames, V4L2_CTRL_TYPE_INTEGER64, "Frames", 0, 1000, 1, 0);
    add(CellSize, V4L2_CTRL_TYPE_AREA, "Unit Cell Size", 0, 0, 0, 0,
        V4L2_CTRL_FLAG_HAS_PAYLOAD | V4L2_CTRL_FLAG_READ_ONLY);
    return device;
}

void TFakeV4l2Device::Add(TControl control)
{
    const auto at = std::lower_bound(Controls.begin(), Controls.end(), control.Id,
                                     [](const TControl& c, quint32 id) { return c.Id < id; });
    if (at != Controls.end() && at->Id == control.Id)
        *at = std::move(control);
    else
        Controls.insert(at, std::move(control));
}

TFakeV4l2Device::TControl* TFakeV4l2Device::Find(quint32 id)
{
    const auto at = std::find_if(Controls.begin(), Controls.end(),
                                 [id](const TControl& c) { return c.Id == id; });
    return at == Controls.end() ? nullptr : &*at;
}

void TFakeV4l2Device::FailNext(TCall call, int error)
{
    Failures[call] = error;
}

int TFakeV4l2Device::TakeFailure(TCall call)
{
    const auto at = Failures.find(call);
    if (at == Failures.end())
        return 0;
    const int error = at->second;
    Failures.erase(at);
    return error;
}

void TFakeV4l2Device::Fill(const TControl& control, v4l2_queryctrl& query)
{
    query = {};
    query.id = control.Id;
    query.type = control.Type;
    CopyName(control.Name, query.name, sizeof query.name);
    query.minimum = control.Minimum;
    query.maximum = control.Maximum;
    query.step = control.Step;
    query.default_value = control.Default;
    query.flags = control.Flags;
}

int TFakeV4l2Device::QueryControl(v4l2_queryctrl& query)
{
    ++QueryControlCalls;
    if (const int error = TakeFailure(TCall::QueryControl))
        return error;
    const quint32 flags = query.id & NextFlags;
    const quint32 after = query.id & ~NextFlags;
    if (flags == 0) {
        const TControl* control = Find(after);
        if (!control)
            return EINVAL;
        Fill(*control, query);
        return 0;
    }
    if (Controls.empty())
        return EINVAL;
    switch (Enumeration) {
    case TEnumeration::RepeatFirst:
        Fill(Controls.front(), query);
        return 0;
    case TEnumeration::Endless: {
        TControl ghost;
        ghost.Id = after + 1;
        ghost.Name = "Ghost";
        ghost.Maximum = 1;
        Fill(ghost, query);
        return 0;
    }
    case TEnumeration::Normal:
        break;
    }
    const bool plain = flags & V4L2_CTRL_FLAG_NEXT_CTRL;
    const bool compound = flags & V4L2_CTRL_FLAG_NEXT_COMPOUND;
    for (const TControl& control : Controls) {
        if (control.Id > after && (IsCompound(control.Type) ? compound : plain)) {
            Fill(control, query);
            return 0;
        }
    }
    return EINVAL;
}

int TFakeV4l2Device::QueryMenu(v4l2_querymenu& menu)
{
    ++QueryMenuCalls;
    if (const int error = TakeFailure(TCall::QueryMenu))
        return error;
    const TControl* control = Find(menu.id);
    if (!control || static_cast<qint64>(menu.index) < control->Minimum ||
        static_cast<qint64>(menu.index) > control->Maximum)
        return EINVAL;
    std::memset(menu.name, 0, sizeof menu.name);
    menu.reserved = 0;
    if (control->Type == V4L2_CTRL_TYPE_MENU) {
        const auto name = control->MenuNames.find(menu.index);
        if (name == control->MenuNames.end())
            return EINVAL;
        CopyName(name->second, menu.name, sizeof menu.name);
        return 0;
    }
    if (control->Type == V4L2_CTRL_TYPE_INTEGER_MENU) {
        const auto value = control->MenuValues.find(menu.index);
        if (value == control->MenuValues.end())
            return EINVAL;
        menu.value = value->second;
        return 0;
    }
    return EINVAL;
}

int TFakeV4l2Device::GetControl(v4l2_control& control)
{
    if (const int error = TakeFailure(TCall::GetControl))
        return error;
    const TControl* found = Find(control.id);
    if (!found || (found->Flags & V4L2_CTRL_FLAG_DISABLED))
        return EINVAL;
    if ((found->Flags & V4L2_CTRL_FLAG_WRITE_ONLY) || found->Type == V4L2_CTRL_TYPE_CTRL_CLASS)
        return EACCES;
    if (!IsPlainValue(found->Type))
        return EINVAL;
    control.value = found->Value;
    return 0;
}

int TFakeV4l2Device::SetControl(v4l2_control& control)
{
    SetCalls.push_back(control);
    if (const int error = TakeFailure(TCall::SetControl))
        return error;
    TControl* found = Find(control.id);
    if (!found || (found->Flags & V4L2_CTRL_FLAG_DISABLED))
        return EINVAL;
    if ((found->Flags & V4L2_CTRL_FLAG_READ_ONLY) || found->Type == V4L2_CTRL_TYPE_CTRL_CLASS)
        return EACCES;
    if (found->Flags & V4L2_CTRL_FLAG_GRABBED)
        return EBUSY;
    if (!IsPlainValue(found->Type))
        return EINVAL;
    if (found->Type != V4L2_CTRL_TYPE_BUTTON)
        found->Value = control.value;
    return 0;
}

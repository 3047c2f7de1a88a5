#pragma once

#include "platform/camera/v4l2/IV4l2Device.h"

#include <QByteArray>
#include <QtGlobal>

#include <map>
#include <memory>
#include <optional>
#include <vector>

// A V4L2 device's controls in memory, answering the four control ioctls the way the kernel's
// control framework does (EINVAL past the end and for refused menu indices, EACCES for reading a
// write-only control or writing a read-only one, EBUSY for a grabbed one).
class TFakeV4l2Device : public IV4l2Device
{
public:
    struct TControl
    {
        quint32 Id = 0;
        quint32 Type = V4L2_CTRL_TYPE_INTEGER;
        // Copied into the 32-byte name field as is: longer names are cut, 32 bytes leave no NUL.
        QByteArray Name;
        qint32 Minimum = 0;
        qint32 Maximum = 0;
        qint32 Step = 0;
        qint32 Default = 0;
        quint32 Flags = 0;
        qint32 Value = 0;
        // Menu entries by index; an index in Minimum..Maximum missing here is refused.
        std::map<quint32, QByteArray> MenuNames; // V4L2_CTRL_TYPE_MENU
        std::map<quint32, qint64> MenuValues;    // V4L2_CTRL_TYPE_INTEGER_MENU
    };

    enum class TCall
    {
        QueryControl,
        QueryMenu,
        GetControl,
        SetControl,
    };

    // How the device answers V4L2_CTRL_FLAG_NEXT_CTRL.
    enum class TEnumeration
    {
        Normal,
        RepeatFirst, // always the first control again, as a broken driver might
        Endless,     // always one more control, id + 1
    };

    // Ids of the controls Camera() holds.
    static constexpr quint32 UserClass = V4L2_CID_USER_CLASS;
    static constexpr quint32 Brightness = V4L2_CID_BRIGHTNESS; // integer -64..64
    static constexpr quint32 Contrast = V4L2_CID_CONTRAST;     // integer 0..100 step 5
    static constexpr quint32 Saturation = V4L2_CID_SATURATION; // disabled
    static constexpr quint32 AutoWhiteBalance = V4L2_CID_AUTO_WHITE_BALANCE; // boolean
    static constexpr quint32 DoWhiteBalance = V4L2_CID_DO_WHITE_BALANCE;     // button
    static constexpr quint32 PowerLine = V4L2_CID_POWER_LINE_FREQUENCY;      // menu 0..3, 2 refused
    static constexpr quint32 Temperature = V4L2_CID_WHITE_BALANCE_TEMPERATURE; // inactive, step 10
    static constexpr quint32 CameraClass = V4L2_CID_CAMERA_CLASS;
    static constexpr quint32 Focus = V4L2_CID_FOCUS_ABSOLUTE;         // read-only
    static constexpr quint32 Zoom = V4L2_CID_ZOOM_ABSOLUTE;           // grabbed
    static constexpr quint32 LinkFrequency = V4L2_CID_LINK_FREQ;      // integer menu
    static constexpr quint32 Serial = V4L2_CID_USER_BASE + 0x1001;    // string
    static constexpr quint32 Features = V4L2_CID_USER_BASE + 0x1002;  // bitmask
    static constexpr quint32 PixelRate = V4L2_CID_USER_BASE + 0x1003; // 64-bit, range zeroed
    static constexpr quint32 Frames = V4L2_CID_USER_BASE + 0x1004;    // 64-bit, range 0..1000
    static constexpr quint32 CellSize = V4L2_CID_USER_BASE + 0x1005;  // compound (area)

    // A camera with one control of every sort the control page must handle (the ids above).
    static std::shared_ptr<TFakeV4l2Device> Camera();

    // Adds or replaces a control, keeping them in ascending id order.
    void Add(TControl control);
    TControl* Find(quint32 id);
    // The next call of that kind fails with the errno value, once.
    void FailNext(TCall call, int error);

    TEnumeration Enumeration = TEnumeration::Normal;
    // Every S_CTRL that reached the device, in order, whether it succeeded or not.
    std::vector<v4l2_control> SetCalls;
    int QueryControlCalls = 0;
    int QueryMenuCalls = 0;

    int QueryControl(v4l2_queryctrl& query) override;
    int QueryMenu(v4l2_querymenu& menu) override;
    int GetControl(v4l2_control& control) override;
    int SetControl(v4l2_control& control) override;

private:
    int TakeFailure(TCall call);
    static void Fill(const TControl& control, v4l2_queryctrl& query);

    std::vector<TControl> Controls;
    std::map<TCall, int> Failures;
};

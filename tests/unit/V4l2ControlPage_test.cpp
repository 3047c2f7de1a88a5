#include "tests/support/TFakeV4l2Device.h"
#include "platform/camera/v4l2/TV4l2ControlPage.h"
#include "platform/camera/v4l2/TV4l2Device.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {
using TKind = TPropertyControl::TKind;
using TCall = TFakeV4l2Device::TCall;

QString KeyOf(quint32 id)
{
    return QString::number(id);
}

std::optional<TPropertyControl> Entry(const std::vector<TPropertyControl>& controls, quint32 id)
{
    const auto at = std::find_if(controls.begin(), controls.end(),
                                 [id](const TPropertyControl& c) { return c.key == KeyOf(id); });
    if (at == controls.end())
        return std::nullopt;
    return *at;
}

// The entry the page should make of a plain integer control of the fake.
TPropertyControl IntegerEntry(const TFakeV4l2Device::TControl& control)
{
    TPropertyControl entry;
    entry.key = KeyOf(control.Id);
    entry.name = QString::fromLatin1(control.Name);
    entry.kind = TKind::Integer;
    entry.minimum = control.Minimum;
    entry.maximum = control.Maximum;
    entry.step = control.Step > 0 ? control.Step : 1;
    entry.defaultValue = control.Default;
    return entry;
}

// A device holding just one integer control with the given name bytes.
std::shared_ptr<TFakeV4l2Device> DeviceNamed(const QByteArray& name)
{
    auto device = std::make_shared<TFakeV4l2Device>();
    TFakeV4l2Device::TControl control;
    control.Id = V4L2_CID_GAIN;
    control.Name = name;
    // Printable bytes right after the name field: reading past it would show up in the name.
    control.Minimum = 0x41414141;
    control.Maximum = 0x42424242;
    control.Step = 0x43434343;
    device->Add(control);
    return device;
}

QVariant ValueOf(IPropertyPage& page, quint32 id)
{
    return page.Value(KeyOf(id));
}

QString NameShownFor(const QByteArray& name)
{
    TV4l2ControlPage page(DeviceNamed(name));
    const auto controls = page.Controls();
    return controls.size() == 1 ? controls.front().name : QStringLiteral("<no single entry>");
}
} // namespace

TEST(V4l2ControlPage, TitleIsVideoCaptureFilterUnlessGiven)
{
    EXPECT_EQ(TV4l2ControlPage(TFakeV4l2Device::Camera()).Title(), "Video Capture Filter");
    EXPECT_EQ(TV4l2ControlPage(TFakeV4l2Device::Camera(), "Webcam").Title(), "Webcam");
}

TEST(V4l2ControlPage, IntegerBooleanAndButtonCarryRangeStepAndDefault)
{
    const auto device = TFakeV4l2Device::Camera();
    TV4l2ControlPage page(device);
    const auto controls = page.Controls();

    // Step 1, negative minimum.
    EXPECT_EQ(Entry(controls, device->Brightness), IntegerEntry(*device->Find(device->Brightness)));
    // A step of its own.
    const auto contrast = Entry(controls, device->Contrast);
    ASSERT_TRUE(contrast);
    EXPECT_EQ(contrast, IntegerEntry(*device->Find(device->Contrast)));
    EXPECT_EQ(contrast->step, 5);

    // A driver reporting step 0 still gives a usable slider.
    device->Find(device->Brightness)->Step = 0;
    const auto brightness = Entry(page.Controls(), device->Brightness);
    ASSERT_TRUE(brightness);
    EXPECT_EQ(brightness->step, 1);

    const auto awb = Entry(controls, device->AutoWhiteBalance);
    ASSERT_TRUE(awb);
    EXPECT_EQ(awb->kind, TKind::Boolean);
    EXPECT_EQ(awb->name, "White Balance, Automatic");
    EXPECT_EQ(awb->minimum, 0);
    EXPECT_EQ(awb->maximum, 1);
    EXPECT_EQ(awb->defaultValue, 1);

    const auto button = Entry(controls, device->DoWhiteBalance);
    ASSERT_TRUE(button);
    EXPECT_EQ(button->kind, TKind::Button);
    EXPECT_EQ(button->name, "Do White Balance");
    EXPECT_FALSE(button->readOnly); // write-only is not read-only

    // A 64-bit control whose range fits the 32-bit query is an ordinary integer.
    const auto frames = Entry(controls, device->Frames);
    ASSERT_TRUE(frames);
    EXPECT_EQ(frames->kind, TKind::Integer);
    EXPECT_EQ(frames->maximum, device->Find(device->Frames)->Maximum);
}

TEST(V4l2ControlPage, MenusListTheDriversEntriesWithoutRefusedIndices)
{
    const auto device = TFakeV4l2Device::Camera();
    TV4l2ControlPage page(device);
    const auto controls = page.Controls();

    const auto powerLine = Entry(controls, device->PowerLine);
    ASSERT_TRUE(powerLine);
    EXPECT_EQ(powerLine->kind, TKind::Menu);
    EXPECT_EQ(powerLine->name, "Power Line Frequency");
    EXPECT_EQ(powerLine->defaultValue, 1);
    const std::vector<std::pair<qint64, QString>> names = {
        {0, "Disabled"}, {1, "50 Hz"}, {3, "Auto"}};
    EXPECT_EQ(powerLine->menu, names);

    const auto link = Entry(controls, device->LinkFrequency);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->kind, TKind::Menu);
    const std::vector<std::pair<qint64, QString>> values = {
        {0, "456000000"}, {1, "912000000"}, {2, "5000000000"}};
    EXPECT_EQ(link->menu, values);

    // Entries below zero cannot be asked for; a menu the driver refuses entirely is left out.
    auto* menu = device->Find(device->PowerLine);
    menu->Minimum = -2;
    EXPECT_EQ(Entry(page.Controls(), device->PowerLine)->menu, names);
    menu->MenuNames.clear();
    EXPECT_FALSE(Entry(page.Controls(), device->PowerLine));

    // A menu claiming two thousand million entries is asked only a bounded number of times.
    auto alone = std::make_shared<TFakeV4l2Device>();
    TFakeV4l2Device::TControl huge = *menu;
    huge.MenuNames = {{0, "Off"}, {1, "On"}};
    huge.Minimum = 0;
    huge.Maximum = std::numeric_limits<qint32>::max();
    alone->Add(huge);
    const auto controlsOfHuge = TV4l2ControlPage(alone).Controls();
    ASSERT_EQ(controlsOfHuge.size(), 1u);
    EXPECT_EQ(controlsOfHuge.front().menu.size(), 2u);
    EXPECT_EQ(alone->QueryMenuCalls, TV4l2ControlPage::MaxMenuEntries);
}

TEST(V4l2ControlPage, LeavesOutDisabledClassesAndWhatItCannotShow)
{
    const auto device = TFakeV4l2Device::Camera();
    TV4l2ControlPage page(device);
    QStringList keys;
    for (const auto& control : page.Controls())
        keys << control.key;
    const QStringList expected = {
        KeyOf(device->Brightness),     KeyOf(device->Contrast),  KeyOf(device->AutoWhiteBalance),
        KeyOf(device->DoWhiteBalance), KeyOf(device->PowerLine), KeyOf(device->Temperature),
        KeyOf(device->Frames),         KeyOf(device->Focus),     KeyOf(device->Zoom),
        KeyOf(device->LinkFrequency)};
    EXPECT_EQ(keys, expected);

    // The same control, once enabled, is shown.
    device->Find(device->Saturation)->Flags = 0;
    EXPECT_TRUE(Entry(page.Controls(), device->Saturation));
}

TEST(V4l2ControlPage, ReadOnlyGrabbedAndInactiveFlagsAreCarried)
{
    const auto device = TFakeV4l2Device::Camera();
    TV4l2ControlPage page(device);
    const auto controls = page.Controls();
    for (const auto& control : controls) {
        const quint32 id = control.key.toUInt();
        EXPECT_EQ(control.readOnly, id == device->Focus || id == device->Zoom) << id;
        EXPECT_EQ(control.inactive, id == device->Temperature) << id;
    }
    ASSERT_TRUE(Entry(controls, device->Focus));
    EXPECT_EQ(ValueOf(page, device->Focus), QVariant::fromValue<qint64>(68));
}

TEST(V4l2ControlPage, ControlsFollowFlagsChangedBetweenCalls)
{
    const auto device = TFakeV4l2Device::Camera();
    TV4l2ControlPage page(device);
    ASSERT_TRUE(Entry(page.Controls(), device->Temperature));
    EXPECT_TRUE(Entry(page.Controls(), device->Temperature)->inactive);

    // Turning automatic white balance off makes the temperature count.
    device->Find(device->Temperature)->Flags &= ~V4L2_CTRL_FLAG_INACTIVE;
    EXPECT_FALSE(Entry(page.Controls(), device->Temperature)->inactive);
    device->Find(device->Temperature)->Flags |= V4L2_CTRL_FLAG_INACTIVE;
    EXPECT_TRUE(Entry(page.Controls(), device->Temperature)->inactive);

    // Streaming grabs a control: it is shown read-only and refused.
    device->Find(device->Brightness)->Flags |= V4L2_CTRL_FLAG_GRABBED;
    EXPECT_TRUE(Entry(page.Controls(), device->Brightness)->readOnly);
    EXPECT_FALSE(page.SetValue(KeyOf(device->Brightness), 10));
    device->Find(device->Brightness)->Flags = 0;
    EXPECT_FALSE(Entry(page.Controls(), device->Brightness)->readOnly);
    EXPECT_TRUE(page.SetValue(KeyOf(device->Brightness), 10));
}

TEST(V4l2ControlPage, NamesStayInsideTheFieldAndBecomeOneLineLabels)
{
    // 32 bytes and no NUL: the name ends with the array.
    const QByteArray full(32, 'N');
    EXPECT_EQ(NameShownFor(full), QString::fromLatin1(full));
    // Cut at the first NUL.
    EXPECT_EQ(NameShownFor(QByteArray("Gain\0Hidden", 11)), "Gain");
    // Control characters (C0, DEL, C1) turn into spaces.
    EXPECT_EQ(NameShownFor("Gain\tAuto\nX\x7f"
                           "Y"),
              "Gain Auto X Y");
    EXPECT_EQ(NameShownFor("A\xc2\x85"
                           "B"),
              "A B");
    // UTF-8 as such, anything else as Latin-1.
    EXPECT_EQ(NameShownFor("Sch\xc3\xa4rfe"), QString::fromUtf8("Sch\xc3\xa4rfe"));
    EXPECT_EQ(NameShownFor("Sch\xe4rfe"), QString::fromUtf8("Sch\xc3\xa4rfe"));
    // A UTF-8 name the kernel cut inside its last character loses only that character.
    const QByteArray cut = QByteArray(30, 'x') + "\xc3";
    EXPECT_EQ(NameShownFor(cut), QString(30, u'x'));
    const QByteArray cutThree = QByteArray(30, 'y') + "\xe2\x82";
    EXPECT_EQ(NameShownFor(cutThree), QString(30, u'y'));
    // A short name ending in a Latin-1 letter is not mistaken for a cut one.
    EXPECT_EQ(NameShownFor("Gamm\xe4"), QString::fromUtf8("Gamm\xc3\xa4"));
    // Menu entry names are treated the same way.
    const auto device = TFakeV4l2Device::Camera();
    device->Find(device->PowerLine)->MenuNames = {{0, full}, {1, "50\tHz"}};
    const auto menu = Entry(TV4l2ControlPage(device).Controls(), device->PowerLine);
    ASSERT_TRUE(menu);
    const std::vector<std::pair<qint64, QString>> names = {{0, QString::fromLatin1(full)},
                                                           {1, "50 Hz"}};
    EXPECT_EQ(menu->menu, names);
}

TEST(V4l2ControlPage, ValuesWithinRangeAndStepReachTheDevice)
{
    const auto device = TFakeV4l2Device::Camera();
    TV4l2ControlPage page(device);
    struct TCase
    {
        quint32 id;
        QVariant value;
        qint32 stored;
    };
    const TCase cases[] = {
        {device->Brightness, -64, -64}, // both ends of the range
        {device->Brightness, 64, 64},
        {device->Brightness, 20.0, 20}, // a whole double from a slider
        {device->Brightness, QString("-3"), -3},
        {device->Contrast, 55, 55},        // on the step counted from the minimum
        {device->Temperature, 2810, 2810}, // inactive controls may still be set
        {device->AutoWhiteBalance, false, 0},
        {device->AutoWhiteBalance, 1, 1},
        {device->PowerLine, 3, 3},     // past the hole
        {device->LinkFrequency, 2, 2}, // integer menu: the index, not the frequency
    };
    for (const auto& c : cases) {
        device->SetCalls.clear();
        EXPECT_TRUE(page.SetValue(KeyOf(c.id), c.value)) << c.id << " " << c.stored;
        ASSERT_EQ(device->SetCalls.size(), 1u) << c.id;
        EXPECT_EQ(device->SetCalls.front().id, c.id);
        EXPECT_EQ(device->SetCalls.front().value, c.stored);
        EXPECT_EQ(device->Find(c.id)->Value, c.stored);
        EXPECT_EQ(ValueOf(page, c.id), QVariant::fromValue<qint64>(c.stored));
    }
}

TEST(V4l2ControlPage, RefusedValuesNeverReachTheDevice)
{
    const auto device = TFakeV4l2Device::Camera();
    TV4l2ControlPage page(device);
    const QString unflagged = KeyOf(device->Brightness);
    struct TCase
    {
        QString key;
        QVariant value;
    };
    const TCase cases[] = {
        {KeyOf(device->Brightness), 65},  // above the range
        {KeyOf(device->Brightness), -65}, // below it
        {KeyOf(device->Brightness), 1.5}, // not a whole number
        {KeyOf(device->Brightness), 4294967297.0},
        {KeyOf(device->Brightness), QString("ten")},
        {KeyOf(device->Brightness), QVariant()},
        {KeyOf(device->Contrast), 52}, // off the step
        {KeyOf(device->Contrast), 105},
        {KeyOf(device->AutoWhiteBalance), 2},
        {KeyOf(device->PowerLine), 2}, // the hole the driver refuses
        {KeyOf(device->PowerLine), 4}, // past the menu
        {KeyOf(device->PowerLine), -1},
        {KeyOf(device->LinkFrequency), 3},
        {KeyOf(device->Focus), 70},      // read-only
        {KeyOf(device->Zoom), 200},      // grabbed
        {KeyOf(device->Saturation), 50}, // disabled
        {KeyOf(device->UserClass), 0},   // a class heading
        {KeyOf(device->Serial), 0},      // a string control
        {KeyOf(device->CellSize), 0},    // compound
        {KeyOf(V4L2_CID_HUE), 0},        // not on this device
        {"", 0},
        {"brightness", 0},
        {" " + unflagged, 0},
        {"+" + unflagged, 0},
        {"0x" + QString::number(device->Brightness, 16), 0},
        // The enumeration flags would turn the lookup into "the control after".
        {KeyOf(V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CID_HUE), 0},
        {KeyOf(V4L2_CTRL_FLAG_NEXT_CTRL), 0},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(page.SetValue(c.key, c.value))
            << c.key.toStdString() << " " << c.value.toString().toStdString();
    EXPECT_TRUE(device->SetCalls.empty());
    EXPECT_EQ(device->Find(device->Brightness)->Value, device->Find(device->Brightness)->Default);
    EXPECT_EQ(device->Find(device->Focus)->Value, 68);
}

TEST(V4l2ControlPage, ButtonsArePressedWithOneAndHaveNoValue)
{
    const auto device = TFakeV4l2Device::Camera();
    TV4l2ControlPage page(device);
    EXPECT_TRUE(page.SetValue(KeyOf(device->DoWhiteBalance), 0));
    EXPECT_TRUE(page.SetValue(KeyOf(device->DoWhiteBalance), QVariant()));
    ASSERT_EQ(device->SetCalls.size(), 2u);
    for (const auto& call : device->SetCalls) {
        EXPECT_EQ(call.id, device->DoWhiteBalance);
        EXPECT_EQ(call.value, 1);
    }
    EXPECT_FALSE(ValueOf(page, device->DoWhiteBalance).isValid());
}

TEST(V4l2ControlPage, DeviceErrorsGiveInvalidValuesAndFalse)
{
    const auto device = TFakeV4l2Device::Camera();
    TV4l2ControlPage page(device);

    ASSERT_TRUE(ValueOf(page, device->Brightness).isValid());
    device->FailNext(TCall::GetControl, EIO);
    EXPECT_FALSE(ValueOf(page, device->Brightness).isValid());
    EXPECT_TRUE(ValueOf(page, device->Brightness).isValid()); // only that one read failed
    EXPECT_FALSE(page.Value(KeyOf(V4L2_CID_HUE)).isValid());
    EXPECT_FALSE(page.Value("nonsense").isValid());

    device->FailNext(TCall::SetControl, EBUSY);
    EXPECT_FALSE(page.SetValue(KeyOf(device->Brightness), 7));
    EXPECT_EQ(device->SetCalls.size(), 1u);
    EXPECT_NE(device->Find(device->Brightness)->Value, 7);
    EXPECT_TRUE(page.SetValue(KeyOf(device->Brightness), 7));
    EXPECT_EQ(device->Find(device->Brightness)->Value, 7);

    device->FailNext(TCall::SetControl, EIO);
    EXPECT_FALSE(page.SetValue(KeyOf(device->DoWhiteBalance), 1));

    // The lookup before a change fails: nothing is sent.
    device->SetCalls.clear();
    device->FailNext(TCall::QueryControl, EIO);
    EXPECT_FALSE(page.SetValue(KeyOf(device->Brightness), 8));
    EXPECT_TRUE(device->SetCalls.empty());

    // A failing listing ends the list; the next one is whole again.
    const auto whole = page.Controls().size();
    device->FailNext(TCall::QueryControl, EIO);
    EXPECT_TRUE(page.Controls().empty());
    EXPECT_EQ(page.Controls().size(), whole);
}

TEST(V4l2ControlPage, ListingIsBoundedForDriversThatNeverEnd)
{
    const auto device = TFakeV4l2Device::Camera();
    TV4l2ControlPage page(device);
    const auto whole = page.Controls();

    // The same id again: the listing stops after the repeat.
    device->Enumeration = TFakeV4l2Device::TEnumeration::RepeatFirst;
    device->QueryControlCalls = 0;
    device->Find(device->UserClass)->Type = V4L2_CTRL_TYPE_INTEGER;
    const auto repeated = page.Controls();
    ASSERT_EQ(repeated.size(), 1u);
    EXPECT_EQ(repeated.front().key, KeyOf(device->UserClass));
    EXPECT_EQ(device->QueryControlCalls, 2);

    // Ever new ids: the listing stops at the bound.
    device->Enumeration = TFakeV4l2Device::TEnumeration::Endless;
    device->QueryControlCalls = 0;
    const auto endless = page.Controls();
    EXPECT_EQ(endless.size(), size_t(TV4l2ControlPage::MaxControls));
    EXPECT_EQ(device->QueryControlCalls, TV4l2ControlPage::MaxControls);

    device->Enumeration = TFakeV4l2Device::TEnumeration::Normal;
    EXPECT_EQ(page.Controls().size(), whole.size() + 1); // the class heading is now an integer
}

TEST(V4l2ControlPage, WithoutADeviceThereIsNothing)
{
    TV4l2ControlPage page(nullptr);
    EXPECT_TRUE(page.Controls().empty());
    EXPECT_FALSE(page.Value(KeyOf(V4L2_CID_BRIGHTNESS)).isValid());
    EXPECT_FALSE(page.SetValue(KeyOf(V4L2_CID_BRIGHTNESS), 0));
}

TEST(V4l2Device, OpensOnlyDeviceNodesAndReportsIoctlErrors)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(TV4l2Device::Open(dir.filePath("video0")), nullptr);
    QFile plain(dir.filePath("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_EQ(TV4l2Device::Open(plain.fileName()), nullptr);
    EXPECT_EQ(TV4l2Device::Open(dir.path()), nullptr);

    // A character device that is no video device answers every control ioctl with ENOTTY.
    std::shared_ptr<IV4l2Device> null = TV4l2Device::Open("/dev/null");
    if (!null)
        GTEST_SKIP() << "/dev/null cannot be opened here";
    v4l2_queryctrl query{};
    query.id = V4L2_CTRL_FLAG_NEXT_CTRL;
    EXPECT_EQ(null->QueryControl(query), ENOTTY);
    v4l2_querymenu menu{};
    EXPECT_EQ(null->QueryMenu(menu), ENOTTY);
    v4l2_control control{};
    control.id = V4L2_CID_BRIGHTNESS;
    EXPECT_EQ(null->GetControl(control), ENOTTY);
    EXPECT_EQ(null->SetControl(control), ENOTTY);

    TV4l2ControlPage page(null);
    EXPECT_TRUE(page.Controls().empty());
    EXPECT_FALSE(page.SetValue(KeyOf(V4L2_CID_BRIGHTNESS), 0));
}

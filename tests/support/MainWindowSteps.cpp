#include "tests/support/MainWindowSteps.h"
#include "tests/support/Controls.h"

#include "app/TPhone.h"
#include "app/TfrmMain.h"
#include "capture/TFGraphConfig.h"
#include "platform/player/gst/TGstMediaPlayer.h"
#include "platform/volume/IOutputVolume.h"
#include "widgets/TImageButton.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

class TSilentVolume : public IOutputVolume
{
public:
    bool GetWaveOutVolume(quint16&, quint16&) override { return false; }
    bool SetWaveOutVolume(quint32) override { return false; }
};

} // namespace

TPhoneParts TestPhoneParts(std::shared_ptr<ICameraSystem> camera)
{
    TPhoneParts parts;
    parts.cameras = std::move(camera);
    parts.ports.signallingListen = 0; // any free port: tests never take the real ones
    parts.ports.videoListen = 0;
    parts.transferPort = 0;
    parts.outputVolume = std::make_unique<TSilentVolume>();
    parts.ringPlayer = std::make_unique<TGstMediaPlayer>();
    return parts;
}

std::unique_ptr<TPhone> MakePhone(std::shared_ptr<ICameraSystem> camera)
{
    return std::make_unique<TPhone>(TestPhoneParts(std::move(camera)));
}

bool ShowMainWindow(TfrmMain& form, bool activate)
{
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return false;
    if (!activate)
        return true;
    form.activateWindow();
    return QTest::qWaitForWindowActive(&form);
}

std::unique_ptr<TPhone> StartPhone(std::shared_ptr<ICameraSystem> camera)
{
    auto phone = MakePhone(std::move(camera));
    return ShowMainWindow(phone->Window()) ? std::move(phone) : nullptr;
}

bool WithVideoOptionsOpen(TPhone& phone, const std::function<void()>& inside)
{
    TFGraphConfig* window = phone.Windows().videoOptions;
    bool ran = false;
    QTimer::singleShot(0, window, [&] {
        if (!QTest::qWaitFor([&] { return window->isVisible(); }))
            return;
        inside();
        ran = true;
        QTest::mouseClick(window->btnCancel, Qt::LeftButton);
    });
    QTest::mouseClick(Control<TImageButton>(&phone.Window(), "btnVideoSource"), Qt::LeftButton);
    return ran && !window->isVisible();
}

QImage ComparableShot(TfrmMain& form)
{
    Control<QLabel>(&form, "lblIPAddress")->setText(QStringLiteral("192.0.2.10"));
    if (QWidget* focused = QApplication::focusWidget())
        focused->clearFocus();
    return form.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool ChooseEntry(QComboBox* list, const QString& text)
{
    const int i = list->findText(text);
    if (i < 0)
        return false;
    list->setCurrentIndex(i);
    emit list->activated(i);
    return true;
}

QStringList Entries(const QComboBox* list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->itemText(i);
    return entries;
}

#include "tests/support/MainWindowSteps.h"
#include "tests/support/Controls.h"

#include "app/TForms.h"
#include "app/TfrmMain.h"
#include "capture/TFGraphConfig.h"
#include "widgets/TImageButton.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

std::unique_ptr<TfrmMain> MakeMainWindow(std::shared_ptr<ICameraSystem> camera)
{
    TCallPorts ports;
    ports.signallingListen = 0;
    ports.videoListen = 0;
    auto form = std::make_unique<TfrmMain>(std::move(camera), ports);
    CreateSecondaryForms(*form, 0);
    form->ReadOutputVolume = [](quint16&, quint16&) { return false; };
    form->WriteOutputVolume = [](quint32) { return false; };
    return form;
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

std::unique_ptr<TfrmMain> StartMainWindow(std::shared_ptr<ICameraSystem> camera)
{
    auto form = MakeMainWindow(std::move(camera));
    return ShowMainWindow(*form) ? std::move(form) : nullptr;
}

void CloseMainWindow(std::unique_ptr<TfrmMain>& form)
{
    form.reset();
    Forms() = TForms();
}

bool WithVideoOptionsOpen(TfrmMain& form, const std::function<void()>& inside)
{
    TFGraphConfig* window = Forms().FGraphConfig;
    if (!window)
        return false;
    bool ran = false;
    QTimer::singleShot(0, window, [&] {
        if (!QTest::qWaitFor([&] { return window->isVisible(); }))
            return;
        inside();
        ran = true;
        QTest::mouseClick(window->btnCancel, Qt::LeftButton);
    });
    QTest::mouseClick(Control<TImageButton>(&form, "btnVideoSource"), Qt::LeftButton);
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

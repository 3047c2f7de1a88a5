#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class ICameraSystem;
class QComboBox;
class TPhone;
class TfrmMain;
struct TPhoneParts;

// What window tests do with a whole program: start it on a camera system of theirs, and act in
// the video options window as a user does.

// What a test phone is built from: the camera system, ephemeral ports, an output volume that
// cannot be read, the GStreamer ring player; no voice, network or desktop notices.
TPhoneParts TestPhoneParts(std::shared_ptr<ICameraSystem> camera);
// A phone on those parts, its window not shown yet, so that a test can put its fakes behind
// the call first.
std::unique_ptr<TPhone> MakePhone(std::shared_ptr<ICameraSystem> camera);
// Shows the window and waits until it is exposed (and, with activate, active).
bool ShowMainWindow(TfrmMain& form, bool activate = false);
// Both of the above; null when the window did not come up.
std::unique_ptr<TPhone> StartPhone(std::shared_ptr<ICameraSystem> camera);

// Presses "Video Settings...", runs inside while the window is up, then closes it with its
// Close button. False when the window never showed or did not close.
bool WithVideoOptionsOpen(TPhone& phone, const std::function<void()>& inside);

// The window as it looks, in RGB32 at the window's device pixel ratio, with what varies between
// runs kept out: the machine's own address is shown as 192.0.2.10 and nothing has the focus (a
// blinking text cursor must not decide a comparison).
QImage ComparableShot(TfrmMain& form);

// Picks the entry as a user does (the list's activated signal fires); false when it is absent.
bool ChooseEntry(QComboBox* list, const QString& text);
// The entries a drop-down list offers, in order.
QStringList Entries(const QComboBox* list);

#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class ICameraSystem;
class QComboBox;
class TfrmMain;

// What window tests do with a whole program: start it on a camera system of theirs, and act in
// the video options window as a user does.

// The main window and its secondary windows on ephemeral ports; no sound volume is touched. Not
// shown yet, so that a test can put its fakes behind the call first.
std::unique_ptr<TfrmMain> MakeMainWindow(std::shared_ptr<ICameraSystem> camera);
// Shows the window and waits until it is exposed (and, with activate, active).
bool ShowMainWindow(TfrmMain& form, bool activate = false);
// Both of the above; null when the window did not come up.
std::unique_ptr<TfrmMain> StartMainWindow(std::shared_ptr<ICameraSystem> camera);
// Closes the window and forgets the secondary windows registered with it.
void CloseMainWindow(std::unique_ptr<TfrmMain>& form);

// Presses "Video Settings...", runs inside while the window is up, then closes it with its
// Close button. False when the window never showed or did not close.
bool WithVideoOptionsOpen(TfrmMain& form, const std::function<void()>& inside);

// The window as it looks, in RGB32 at the window's device pixel ratio, with what varies between
// runs kept out: the machine's own address is shown as 192.0.2.10 and nothing has the focus (a
// blinking text cursor must not decide a comparison).
QImage ComparableShot(TfrmMain& form);

// Picks the entry as a user does (the list's activated signal fires); false when it is absent.
bool ChooseEntry(QComboBox* list, const QString& text);
// The entries a drop-down list offers, in order.
QStringList Entries(const QComboBox* list);

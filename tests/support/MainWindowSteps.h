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

// The main window and its secondary windows on ephemeral ports, shown and exposed; no sound
// volume is touched. Null when the window did not come up.
std::unique_ptr<TfrmMain> StartMainWindow(std::shared_ptr<ICameraSystem> camera);

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

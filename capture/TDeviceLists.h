#pragma once

#include <QStringList>

class ICameraSystem;

// The cameras as the system lists them, with the names shown to the user made unique:
// two identical cameras read "Name" and "Name (2)".
class TDeviceLists
{
public:
    explicit TDeviceLists(ICameraSystem& system) : system_(system) {}

    // Reads the list afresh; a system that cannot list leaves it empty.
    void Refresh();
    void Clear();
    // Unique display names in the system's order; read first when asked or when empty.
    QStringList VideoCaptureDeviceNames(bool refresh);
    const QStringList& Names() const { return display_; }
    // The system's index of the entry with this display name (for ICameraSystem::Open); -1
    // when none has it.
    int IndexOf(const QString& displayName) const;
    // The name the system gives the entry, without the suffix; empty when there is none.
    QString FriendlyName(const QString& displayName) const;

private:
    ICameraSystem& system_;
    QStringList friendly_;
    QStringList display_;
};

#pragma once

#include "calls/TCallSettings.h"

// "Settings.ini", section "Settings": the file behind TCallSettings.
class TSettingsStore
{
public:
    static const QString Section;
    static const QString DefaultRingTone;
    static const QString DefaultMessage;
    static constexpr int DefaultRingTimeSeconds = 10;
    static constexpr int DefaultMicVolume = 85;

    // The file beside the executable.
    static QString FileName();
    // Where received files go when nothing is set: the user's download folder.
    static QString DefaultFilePath();

    // Reads every key; a missing file or key gives the defaults, the caller ID defaulting to
    // the local address text shown to the user.
    static TCallSettings Load(const QString& fileName, const QString& localAddressText);

    // Writes RingTone, RingTime (seconds), Message, CallerID, FilePath and AutoAnswer in that
    // order, one key at a time; stops with EIniFileException at the first key that fails.
    static void Save(const QString& fileName, const TCallSettings& settings);

    static void SaveMicVolume(const QString& fileName, int micVolume);

    // Seconds as stored, in milliseconds; nothing when the text is not a whole number that
    // fits.
    static std::optional<qint32> RingTimeMs(const QString& storedSeconds);
};

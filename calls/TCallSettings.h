#pragma once

#include <QString>
#include <QtGlobal>

// The live call settings the main window owns; filled from "Settings.ini" at start-up and
// changed by the settings window.
struct TCallSettings
{
    QString RingTone;
    qint32 RingTimeMs = 10000;
    QString Message;
    QString CallerID;
    QString FilePath;
    qint32 MicVolume = 85;
    bool AutoAnswer = false;
    // Applied to the microphone from the next call on.
    bool EchoCancellation = true;
    bool ShowOnNetwork = true; // announced by DNS-SD
    // Calls, files and messages only through secure channels; plain ones are refused.
    bool EncryptedOnly = false;
    bool NoiseSuppression = true;
    // The sound server's names of the devices calls use; empty means the system default.
    // Applied at once, during a call too.
    QString Microphone;
    QString Speaker;
};

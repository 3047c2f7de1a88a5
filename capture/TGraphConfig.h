#pragma once

#include "capture/TACapMode.h"
#include "capture/TDVResolution.h"
#include "capture/TPixelFormat.h"
#include "capture/TVCapMode.h"

#include <QByteArray>
#include <QLatin1String>
#include <QString>
#include <QtGlobal>

// The user's whole capture configuration: devices, compressors, which branches to build, grabbed
// pixel format, capture file settings, the chosen capture modes and the video compressor's
// opaque state. It travels between the capture component, the video options window and disk,
// where it is kept as one line of "key=value" items (SaveToString / LoadFromString).
class TGraphConfig
{
public:
    // The file beside the executable that keeps the line, and where in it the line lives.
    // The window-placement store keeps a copy under the same section and key.
    static constexpr QLatin1String ConfigFileName{"ConfigGraph.ini"};
    static constexpr QLatin1String ConfigSection{"Graph"};
    static constexpr QLatin1String ConfigKey{"Config"};

    static constexpr QLatin1String DefaultCaptureFileName{"capture.avi"};
    static constexpr QLatin1String DefaultTempCaptureFileName{"captemp.avi"};

    QString VCapSource; // unique display name of the video capture device
    QString ACapSource; // display name of the audio capture device
    QString VComp;      // display name of the video compressor
    QString AComp;      // display name of the audio compressor
    TACapMode ACapMode;
    TVCapMode VCapMode;
    QByteArray VCompState; // as the compressor's configuration dialog hands it out
    bool WantCapture;      // build the capture-to-file branch
    bool WantPreview;      // build the preview branch and run it
    bool WantBitmaps;      // put the frame grabber into the preview branch
    bool WantAudio;        // include an audio source
    bool WantDVAudio;      // with a DV camera, take the audio from the DV stream
    bool WantAudioPreview; // also play the audio
    TPixelFormat PixelFormat;
    TDVResolution DVResolution;
    QString CaptureFileName;
    bool UseTempFile; // capture into TempCaptureFileName instead of CaptureFileName
    QString TempCaptureFileName;
    bool DoPreallocFile;
    quint32 PreallocFileSize; // megabytes

    TGraphConfig() { Clear(); }

    // Every field back to its default except VCompState: the compressor's state is only ever
    // replaced, by the component or by loading a configuration.
    void Clear();

    // Replaces the whole record by the configuration in the text. Never fails: missing or
    // damaged items fall back to their defaults, and a missing Boolean reads as true.
    void LoadFromString(const QString& text);
    // The one-line text form; a true Boolean is not written at all.
    QString SaveToString() const;

    // The text kept under ConfigSection/ConfigKey of an INI file; empty when there is none.
    // Reads see at most TIniFile::MaxValueLength characters.
    static QString ReadConfigText(const QString& iniFileName);
    // Throws EIniFileException("Unable to write to <file>") when the file cannot be written.
    static void WriteConfigText(const QString& iniFileName, const QString& text);

    bool operator==(const TGraphConfig&) const = default;
};

#include "contacts/TSettingsStore.h"

#include "platform/ini/TIniFile.h"
#include "platform/logging/Logging.h"
#include "platform/paths/TProgramFolder.h"

#include <QStandardPaths>
#include <limits>

const QString TSettingsStore::Section = QStringLiteral("Settings");
const QString TSettingsStore::DefaultRingTone =
    QStringLiteral("Enter your ringtone selection here...");
const QString TSettingsStore::DefaultMessage = QStringLiteral("Unanswered Message");

QString TSettingsStore::FileName()
{
    return TProgramFolder::File(QStringLiteral("Settings.ini"));
}

QString TSettingsStore::DefaultFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
}

std::optional<qint32> TSettingsStore::RingTimeMs(const QString& storedSeconds)
{
    bool ok = false;
    const qlonglong seconds = storedSeconds.toLongLong(&ok, 10);
    if (!ok || seconds > std::numeric_limits<qint32>::max() / 1000 ||
        seconds < std::numeric_limits<qint32>::min() / 1000)
        return std::nullopt;
    return static_cast<qint32>(seconds * 1000);
}

TCallSettings TSettingsStore::Load(const QString& fileName, const QString& localAddressText)
{
    const TIniFile ini(fileName);
    TCallSettings s;
    s.RingTone = ini.ReadString(Section, QStringLiteral("RingTone"), DefaultRingTone);
    const QString ringTime = ini.ReadString(Section, QStringLiteral("RingTime"),
                                            QString::number(DefaultRingTimeSeconds));
    if (auto ms = RingTimeMs(ringTime)) {
        s.RingTimeMs = *ms;
    } else {
        qCWarning(lcSettings) << "RingTime is not a whole number of seconds:" << ringTime;
        s.RingTimeMs = DefaultRingTimeSeconds * 1000;
    }
    s.Message = ini.ReadString(Section, QStringLiteral("Message"), DefaultMessage);
    s.CallerID = ini.ReadString(Section, QStringLiteral("CallerID"), localAddressText);
    s.FilePath = ini.ReadString(Section, QStringLiteral("FilePath"), DefaultFilePath());
    s.MicVolume = ini.ReadInteger(Section, QStringLiteral("micVolume"), DefaultMicVolume);
    s.AutoAnswer = ini.ReadInteger(Section, QStringLiteral("AutoAnswer"), 0) != 0;
    s.EchoCancellation = ini.ReadInteger(Section, QStringLiteral("EchoCancellation"), 1) != 0;
    s.ShowOnNetwork = ini.ReadInteger(Section, QStringLiteral("ShowOnNetwork"), 1) != 0;
    s.EncryptedOnly = ini.ReadInteger(Section, QStringLiteral("EncryptedOnly"), 0) != 0;
    s.NoiseSuppression = ini.ReadInteger(Section, QStringLiteral("NoiseSuppression"), 1) != 0;
    s.Microphone = ini.ReadString(Section, QStringLiteral("Microphone"), QString()).trimmed();
    s.Speaker = ini.ReadString(Section, QStringLiteral("Speaker"), QString()).trimmed();
    qCDebug(lcSettings) << "loaded" << fileName << "ring" << s.RingTimeMs << "auto" << s.AutoAnswer;
    return s;
}

void TSettingsStore::Save(const QString& fileName, const TCallSettings& s)
{
    TIniFile ini(fileName);
    ini.WriteString(Section, QStringLiteral("RingTone"), s.RingTone);
    ini.WriteString(Section, QStringLiteral("RingTime"), QString::number(s.RingTimeMs / 1000));
    ini.WriteString(Section, QStringLiteral("Message"), s.Message);
    ini.WriteString(Section, QStringLiteral("CallerID"), s.CallerID);
    ini.WriteString(Section, QStringLiteral("FilePath"), s.FilePath);
    ini.WriteString(Section, QStringLiteral("AutoAnswer"),
                    s.AutoAnswer ? QStringLiteral("1") : QStringLiteral("0"));
    ini.WriteString(Section, QStringLiteral("EchoCancellation"),
                    s.EchoCancellation ? QStringLiteral("1") : QStringLiteral("0"));
    ini.WriteString(Section, QStringLiteral("NoiseSuppression"),
                    s.NoiseSuppression ? QStringLiteral("1") : QStringLiteral("0"));
    ini.WriteString(Section, QStringLiteral("Microphone"), s.Microphone);
    ini.WriteString(Section, QStringLiteral("Speaker"), s.Speaker);
    ini.WriteString(Section, QStringLiteral("ShowOnNetwork"),
                    s.ShowOnNetwork ? QStringLiteral("1") : QStringLiteral("0"));
    ini.WriteString(Section, QStringLiteral("EncryptedOnly"),
                    s.EncryptedOnly ? QStringLiteral("1") : QStringLiteral("0"));
}

void TSettingsStore::SaveMicVolume(const QString& fileName, int micVolume)
{
    TIniFile ini(fileName);
    ini.WriteInteger(Section, QStringLiteral("micVolume"), micVolume);
}

#include "platform/ini/TIniFile.h"

#include "platform/ini/EIniFileException.h"
#include "platform/ini/TIniText.h"
#include "platform/logging/Logging.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <limits>

TIniFile::TIniFile(QString fileName) : fileName_(std::move(fileName)) {}

TIniFile::Load TIniFile::LoadContent() const
{
    if (content_)
        return loadState_;
    content_ = QByteArray();
    QFileInfo info(fileName_);
    if (!info.exists()) {
        loadState_ = Load::Missing;
        return loadState_;
    }
    QFile file(fileName_);
    if (!info.isFile() || info.size() > MaxFileSize || !file.open(QIODevice::ReadOnly)) {
        qCWarning(lcIni) << "cannot read" << fileName_;
        loadState_ = Load::Failed;
        return loadState_;
    }
    QByteArray data = file.read(MaxFileSize + 1);
    if (data.size() > MaxFileSize || file.error() != QFileDevice::NoError) {
        qCWarning(lcIni) << "cannot read" << fileName_ << file.errorString();
        loadState_ = Load::Failed;
        return loadState_;
    }
    content_ = std::move(data);
    loadState_ = Load::Ok;
    return loadState_;
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& def) const
{
    LoadContent();
    std::optional<QString> value = TIniText::Find(*content_, section, key);
    QString result = value ? *value : def;
    return result.left(MaxValueLength);
}

std::optional<int> TIniFile::ParseInteger(const QString& text)
{
    bool ok = false;
    qlonglong number = 0;
    if (text.size() > 2 && text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const QString digits = text.mid(2);
        // toLongLong would accept a sign or spaces; the rule wants bare hexadecimal digits.
        for (QChar c : digits)
            if (!isxdigit(c.toLatin1()) || c.unicode() > 127)
                return std::nullopt;
        number = digits.toLongLong(&ok, 16);
    } else {
        number = text.toLongLong(&ok, 10);
    }
    if (!ok || number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(number);
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int def) const
{
    return ParseInteger(ReadString(section, key, QString())).value_or(def);
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::FailWrite(const QString& why) const
{
    qCWarning(lcIni) << "write failed:" << fileName_ << why;
    throw EIniFileException(
        QCoreApplication::translate("TIniFile", "Unable to write to %1").arg(fileName_));
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    // Other lines must survive the write, so a file we could not read is never replaced.
    if (LoadContent() == Load::Failed) {
        content_.reset();
        FailWrite(QStringLiteral("existing file unreadable"));
    }
    QByteArray updated = TIniText::Replace(*content_, section, key, value);
    QSaveFile file(fileName_);
    file.setDirectWriteFallback(false);
    // Unbuffered, so a short write (disk full) shows in write()'s count instead of being
    // lost in a flush that commit() does not check closely enough.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        FailWrite(file.errorString());
    if (file.write(updated) != updated.size() || !file.commit())
        FailWrite(file.errorString());
    content_ = std::move(updated);
    loadState_ = Load::Ok;
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

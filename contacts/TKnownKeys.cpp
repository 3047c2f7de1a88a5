#include "contacts/TKnownKeys.h"

#include "platform/crypto/TIdentity.h"
#include "platform/errors/EError.h"
#include "platform/ini/TLineFile.h"
#include "platform/logging/Logging.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace {

// What a name from the network may be in the file: one line, of a sensible length.
QString OneLine(const QString& text)
{
    QString line;
    for (const QChar c : text.left(63))
        line += c.isPrint() ? c : QChar(u' ');
    return line.trimmed();
}

bool ValidAddress(const QString& text)
{
    QHostAddress a;
    return a.setAddress(text) && a.protocol() == QAbstractSocket::IPv4Protocol;
}

} // namespace

QByteArray TKnownKeys::ParseFingerprint(const QString& text)
{
    if (text.size() != 52)
        return {};
    // Base 32 without padding, as TIdentity writes it: 52 characters hold 260 bits, 256 used.
    QByteArray bytes;
    quint64 buffer = 0;
    int bits = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        int value;
        if (u >= u'A' && u <= u'Z')
            value = u - u'A';
        else if (u >= u'2' && u <= u'7')
            value = 26 + (u - u'2');
        else
            return {};
        buffer = (buffer << 5) | quint64(value);
        bits += 5;
        if (bits >= 8) {
            bits -= 8;
            bytes += char((buffer >> bits) & 0xff);
        }
    }
    if (bytes.size() != 32 || TIdentity::Base32(bytes) != text)
        return {};
    return bytes;
}

TKnownKeys TKnownKeys::Load(const QString& path)
{
    TKnownKeys known;
    known.path_ = path;
    const QFileInfo info(path);
    if (!info.exists())
        return known;
    std::optional<QStringList> lines;
    QString why;
    if (!info.isFile() || info.size() > MaxFileSize) {
        why = QStringLiteral("it is not a file of keys");
    } else {
        try {
            lines = TLineFile::Load(path);
        } catch (const EError& e) {
            why = e.Message();
        }
    }
    TKey* key = nullptr;
    QByteArray keyPrint;
    qint64 address = -1; // the section's address, while in one
    for (const QString& line : lines.value_or(QStringList())) {
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            const QString section = line.mid(1, line.size() - 2);
            key = nullptr;
            address = -1;
            if (section.startsWith(QLatin1String("Key ")) && int(known.keys_.size()) < MaxKeys) {
                keyPrint = ParseFingerprint(section.mid(4));
                if (!keyPrint.isEmpty())
                    key = &known.keys_[keyPrint];
            } else if (section.startsWith(QLatin1String("Address ")) &&
                       ValidAddress(section.mid(8))) {
                address = QHostAddress(section.mid(8)).toIPv4Address();
            }
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0) {
            why = QStringLiteral("a line is neither a section nor a value");
            break;
        }
        const QString name = line.left(eq);
        const QString value = line.mid(eq + 1);
        if (key && name == QLatin1String("Name"))
            key->name = OneLine(value);
        else if (key && name == QLatin1String("Addresses")) {
            for (const QString& a : value.split(u',', Qt::SkipEmptyParts))
                if (ValidAddress(a) && key->addresses.size() < MaxAddresses)
                    key->addresses << a;
        } else if (key && name == QLatin1String("FirstSeen"))
            key->firstSeen = QDateTime::fromString(value, Qt::ISODate);
        else if (key && name == QLatin1String("LastSeen"))
            key->lastSeen = QDateTime::fromString(value, Qt::ISODate);
        else if (key && name == QLatin1String("State") &&
                 QStringList{"seen", "verified", "refused"}.contains(value))
            key->state = value;
        else if (key && name == QLatin1String("From"))
            key->from = OneLine(value).left(16);
        else if (address >= 0 && name == QLatin1String("Key")) {
            const QByteArray print = ParseFingerprint(value);
            if (!print.isEmpty() && int(known.pins_.size()) < MaxKeys)
                known.pins_[quint32(address)] = print;
        }
    }
    // A pin to a key the file does not hold is no pin.
    std::erase_if(known.pins_, [&](const auto& pin) { return !known.keys_.count(pin.second); });
    if (why.isEmpty())
        return known;
    // Set aside whole, so nothing in it is lost; the keys are learnt again from here on.
    const QString stem =
        path + QStringLiteral(".broken-") +
        QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = stem;
    for (int n = 2; !QFile::rename(path, aside) && n < 100; ++n)
        aside = stem + QLatin1Char('-') + QString::number(n); // never over an earlier one
    qCWarning(lcCrypto).noquote() << "set aside" << path << "as" << aside << ":" << why;
    TKnownKeys fresh;
    fresh.path_ = path;
    fresh.notice_ =
        QCoreApplication::translate("TKnownKeys",
                                    "The file of your contacts' keys could not be read; it was set "
                                    "aside as %1. Your contacts' keys will be learnt again.")
            .arg(QFileInfo(aside).fileName());
    return fresh;
}

std::optional<QByteArray> TKnownKeys::PinFor(const QHostAddress& address) const
{
    const auto found = pins_.find(address.toIPv4Address());
    if (found == pins_.end())
        return std::nullopt;
    return found->second;
}

const TKnownKeys::TKey* TKnownKeys::Find(const QByteArray& fingerprint) const
{
    const auto found = keys_.find(fingerprint);
    return found == keys_.end() ? nullptr : &found->second;
}

void TKnownKeys::SetState(const QByteArray& fingerprint, const QString& state)
{
    const auto found = keys_.find(fingerprint);
    if (found == keys_.end() || found->second.state == state)
        return;
    found->second.state = state;
    Save();
}

void TKnownKeys::Record(const QHostAddress& address, const QByteArray& fingerprint,
                        const QString& name, const QString& from)
{
    if (fingerprint.size() != 32 || address.protocol() != QAbstractSocket::IPv4Protocol)
        return;
    if (!keys_.count(fingerprint) && int(keys_.size()) >= MaxKeys) {
        // The oldest goes first; its pins with it.
        auto oldest = keys_.begin();
        for (auto it = keys_.begin(); it != keys_.end(); ++it)
            if (it->second.lastSeen < oldest->second.lastSeen)
                oldest = it;
        const QByteArray gone = oldest->first;
        keys_.erase(oldest);
        std::erase_if(pins_, [&](const auto& pin) { return pin.second == gone; });
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    TKey& key = keys_[fingerprint];
    if (!key.firstSeen.isValid())
        key.firstSeen = now;
    key.lastSeen = now;
    if (!name.isEmpty())
        key.name = OneLine(name);
    if (key.from.isEmpty() || from == QLatin1String("pasted"))
        key.from = from;
    const QString text = address.toString();
    key.addresses.removeAll(text);
    key.addresses.prepend(text);
    while (key.addresses.size() > MaxAddresses)
        key.addresses.removeLast();
    pins_[address.toIPv4Address()] = fingerprint;
    Save();
}

void TKnownKeys::Forget(const QHostAddress& address)
{
    if (pins_.erase(address.toIPv4Address()))
        Save();
}

void TKnownKeys::Save() const
{
    QStringList lines{QStringLiteral("; The keys of the copies of Parlavue this one has met.")};
    for (const auto& [print, key] : keys_) {
        lines << QStringLiteral("[Key %1]").arg(TIdentity::Base32(print))
              << QStringLiteral("Name=") + key.name
              << QStringLiteral("Addresses=") + key.addresses.join(u',')
              << QStringLiteral("FirstSeen=") + key.firstSeen.toString(Qt::ISODate)
              << QStringLiteral("LastSeen=") + key.lastSeen.toString(Qt::ISODate)
              << QStringLiteral("State=") + key.state << QStringLiteral("From=") + key.from;
    }
    for (const auto& [address, print] : pins_)
        lines << QStringLiteral("[Address %1]").arg(QHostAddress(address).toString())
              << QStringLiteral("Key=") + TIdentity::Base32(print);
    try {
        TLineFile::Save(path_, lines);
    } catch (const EError& e) {
        qCWarning(lcCrypto).noquote() << "the known keys were not written:" << e.Message();
    }
}

#include "platform/dnssd/TDnsSdPeerTable.h"

#include "platform/logging/Logging.h"

#include <QStringList>

#include <utility>

bool TDnsSdPeerTable::IsPlainHostName(const QString& name)
{
    if (name.isEmpty() || name.size() > MaxHostNameChars || name.startsWith(u'.') ||
        name.startsWith(u'-'))
        return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') ||
                        (u >= u'0' && u <= u'9') || u == u'-' || u == u'.';
        if (!ok)
            return false;
    }
    return !name.contains(QLatin1String(".."));
}

bool TDnsSdPeerTable::Add(const QString& service, const QString& name, bool programCopy)
{
    if (services_.contains(service))
        return false;
    if (name.isEmpty() || name.toUtf8().size() > MaxInstanceBytes) {
        qCDebug(lcDnsSd) << "dropped a service with an unusable name";
        return false;
    }
    if (services_.size() >= MaxServices) {
        qCDebug(lcDnsSd) << "browse full: dropped a service";
        return false;
    }
    services_.insert(service, {name, programCopy, nextOrder_++, {}, {}});
    return true;
}

QString TDnsSdPeerTable::AnnouncedKey(const QList<QByteArray>& txt)
{
    int secure = 0;
    QByteArray key;
    int keys = 0;
    for (const QByteArray& entry : txt) {
        if (entry.startsWith("pvsec=")) {
            ++secure;
            if (entry != "pvsec=1")
                return {};
        } else if (entry.startsWith("pvfp=")) {
            ++keys;
            key = entry.mid(5);
        }
    }
    if (secure != 1 || keys != 1 || key.size() != 52)
        return {};
    for (const char c : key)
        if (!((c >= 'A' && c <= 'Z') || (c >= '2' && c <= '7')))
            return {};
    return QString::fromLatin1(key);
}

void TDnsSdPeerTable::Resolved(const QString& service, const QString& hostName,
                               const QHostAddress& address, const QString& announcedKey)
{
    const auto found = services_.find(service);
    if (found == services_.end())
        return;
    if (found->announcedKey != announcedKey) {
        found->announcedKey = announcedKey;
        if (!found->computer.isEmpty())
            Update(found->computer);
    }
    // Host names are any text the network chose; one that DNS could not carry is not used.
    if (address.protocol() != QAbstractSocket::IPv4Protocol || hostName.isEmpty() ||
        hostName.size() > MaxHostNameChars) {
        Remove(service);
        return;
    }
    const QString key = hostName.toLower() + QLatin1Char('\n') + address.toString();
    const QString before = found->computer;
    if (before == key)
        return;
    found->computer = key;
    const bool fresh = !computers_.contains(key);
    if (fresh)
        computers_.insert(key, {hostName, address, false, false, false, {}});
    if (!before.isEmpty())
        Update(before);
    if (fresh && OnCheckName)
        OnCheckName(key, hostName, address); // may answer at once
    Update(key);
}

void TDnsSdPeerTable::Remove(const QString& service)
{
    const auto found = services_.find(service);
    if (found == services_.end())
        return;
    const QString computer = found->computer;
    services_.erase(found);
    if (!computer.isEmpty())
        Update(computer);
}

void TDnsSdPeerTable::NameChecked(const QString& key, bool nameResolves)
{
    const auto found = computers_.find(key);
    if (found == computers_.end() || found->checked)
        return;
    found->checked = true;
    found->nameResolves = nameResolves;
    Update(key);
}

void TDnsSdPeerTable::Clear()
{
    services_.clear();
    computers_.clear();
}

void TDnsSdPeerTable::ForgetAll()
{
    QStringList told;
    for (auto it = computers_.cbegin(); it != computers_.cend(); ++it)
        if (it->told)
            told << it.key();
    Clear();
    for (const QString& key : told)
        if (OnGone)
            OnGone(key);
}

bool TDnsSdPeerTable::Checking() const
{
    for (const TComputer& computer : computers_)
        if (!computer.checked)
            return true;
    return false;
}

void TDnsSdPeerTable::Update(const QString& key)
{
    const auto found = computers_.find(key);
    if (found == computers_.end())
        return;
    // The first copy of this program found names the computer, else the first service found.
    const TService* named = nullptr;
    for (const TService& service : services_) {
        if (service.computer != key)
            continue;
        if (!named || (service.programCopy && !named->programCopy) ||
            (service.programCopy == named->programCopy && service.order < named->order))
            named = &service;
    }
    if (!named) {
        const bool told = found->told;
        computers_.erase(found);
        if (told && OnGone)
            OnGone(key);
        return;
    }
    if (!found->checked)
        return;
    TPeer peer;
    peer.key = key;
    peer.name = named->name;
    peer.host = found->nameResolves ? found->hostName : found->address.toString();
    peer.provider = QString::fromLatin1(ProviderName);
    peer.programCopy = named->programCopy;
    peer.address = found->address.toString();
    peer.announcedKey = named->programCopy ? named->announcedKey : QString();
    if (found->told && peer == found->shown)
        return;
    const bool told = std::exchange(found->told, true);
    found->shown = peer;
    if (!told) {
        if (OnAppeared)
            OnAppeared(peer);
    } else if (OnChanged) {
        OnChanged(peer);
    }
}

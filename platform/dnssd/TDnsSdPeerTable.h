#pragma once

#include "platform/peers/TPeer.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QString>

#include <cstdint>
#include <functional>

// What browsing has found, as computers: every service is put under the computer it resolves
// to (host name and IPv4 address), and a computer is told once the system resolver has been
// asked about its name. A computer that runs this program is shown by its service's name
// (its caller ID), else by its workstation's. It goes when its last service goes.
class TDnsSdPeerTable
{
public:
    static constexpr const char* ProviderName = "DNS-SD";
    // However much a network announces, no more services than this are kept at once.
    static constexpr int MaxServices = 256;
    // The longest names DNS allows: an instance is one label, a host a whole name.
    static constexpr int MaxInstanceBytes = 63;
    static constexpr int MaxHostNameChars = 253;

    std::function<void(const TPeer&)> OnAppeared;
    std::function<void(const TPeer&)> OnChanged;
    std::function<void(const QString& key)> OnGone;
    // Asks whether the system resolver finds hostName at address; the answer comes back
    // through NameChecked with the same key.
    std::function<void(const QString& key, const QString& hostName, const QHostAddress& address)>
        OnCheckName;

    // A service browsing found. False when it is not kept: the table is full, the name is
    // unusable or it is known already.
    bool Add(const QString& service, const QString& name, bool programCopy);
    bool Contains(const QString& service) const { return services_.contains(service); }
    // Where the service resolved to; anything but an IPv4 address and a usable host name
    // counts as gone.
    void Resolved(const QString& service, const QString& hostName, const QHostAddress& address,
                  const QString& announcedKey = {});
    // The key a copy's TXT record announces: "pvsec=1" and "pvfp=" with 52 characters of base
    // 32, each once; anything else announces nothing.
    static QString AnnouncedKey(const QList<QByteArray>& txt);
    void Remove(const QString& service);
    void NameChecked(const QString& key, bool nameResolves);
    // Forgets everything, telling nobody.
    void Clear();
    // Forgets everything and tells each computer told of as gone.
    void ForgetAll();

    int ServiceCount() const { return int(services_.size()); }
    // Whether a computer waits for its name check.
    bool Checking() const;

    // Only a plain DNS name is handed to the system resolver.
    static bool IsPlainHostName(const QString& name);

private:
    struct TService
    {
        QString name;
        bool programCopy = false;
        std::uint64_t order = 0;
        QString computer; // empty until resolved
        QString announcedKey;
    };
    struct TComputer
    {
        QString hostName;
        QHostAddress address;
        bool checked = false;
        bool nameResolves = false;
        bool told = false;
        TPeer shown;
    };

    void Update(const QString& key);

    QHash<QString, TService> services_;
    QHash<QString, TComputer> computers_;
    std::uint64_t nextOrder_ = 0;
};

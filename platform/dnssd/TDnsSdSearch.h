#pragma once

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>

#include <avahi-client/lookup.h>

#include <vector>

class TAvahiClient;

// One computer found in a domain.
struct TDnsSdHost
{
    QString instanceName; // our service's name (the caller ID), else the workstation's
    QString hostName;     // as published, e.g. "desk.local"
    QHostAddress address; // IPv4, as resolved
    bool programCopy = false;
    bool operator==(const TDnsSdHost&) const = default;
};

// One look at a domain: browses for copies of this program and for workstations, resolves
// every service found, and asks the system resolver whether each host name leads to the same
// address. Ends (Finished) when the daemon has told all it knows and every answer is in, or
// at the deadline; what has not resolved by then counts as gone.
class TDnsSdSearch : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* WorkstationType = "_workstation._tcp";
    // However much a network announces, a search keeps no more than this.
    static constexpr int MaxServices = 256;

    TDnsSdSearch(TAvahiClient& client, const QString& domain, int deadlineMs,
                 QObject* parent = nullptr);
    ~TDnsSdSearch() override;

    bool IsFinished() const { return finished_; }
    // One entry per computer, in the order they were found; a computer that runs this program
    // is listed under its service's name.
    std::vector<TDnsSdHost> Hosts() const;
    // Whether the system resolver found host's name at its address.
    bool NameResolves(const TDnsSdHost& host) const;

signals:
    void Finished();

private:
    struct TService
    {
        QString name;
        bool programCopy = false;
        AvahiServiceResolver* resolver = nullptr;
        bool resolved = false;
        QString hostName;
        QHostAddress address;
    };
    struct TNameCheck
    {
        int lookupId = -1;
        bool done = false;
        bool matches = false;
    };

    static void BrowseCallback(AvahiServiceBrowser* browser, AvahiIfIndex iface,
                               AvahiProtocol protocol, AvahiBrowserEvent event, const char* name,
                               const char* type, const char* domain, AvahiLookupResultFlags flags,
                               void* userdata);
    static void ResolveCallback(AvahiServiceResolver* resolver, AvahiIfIndex iface,
                                AvahiProtocol protocol, AvahiResolverEvent event, const char* name,
                                const char* type, const char* domain, const char* hostName,
                                const AvahiAddress* address, uint16_t port, AvahiStringList* txt,
                                AvahiLookupResultFlags flags, void* userdata);
    void OnBrowse(AvahiServiceBrowser* browser, AvahiIfIndex iface, AvahiProtocol protocol,
                  AvahiBrowserEvent event, const char* name, const char* type);
    void OnResolved(AvahiServiceResolver* resolver, AvahiResolverEvent event, const char* hostName,
                    const AvahiAddress* address);
    void CheckName(const QString& hostName, const QHostAddress& address);
    void CheckDone();
    void Finish();
    void FreeLookups();
    static QString Key(const QString& type, int iface, const QString& name);

    TAvahiClient& client_;
    QString domain_;
    AvahiServiceBrowser* copies_ = nullptr;
    AvahiServiceBrowser* workstations_ = nullptr;
    int browsing_ = 0; // browsers that have not told all they know yet
    std::vector<TService> services_;
    QHash<QString, std::size_t> byKey_;
    QHash<QString, TNameCheck> names_; // by lower-case host name + address
    QTimer deadline_;
    bool finished_ = false;
};

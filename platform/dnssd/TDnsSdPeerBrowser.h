#pragma once

#include "platform/dnssd/TDnsSdPeerTable.h"
#include "platform/peers/IPeerBrowser.h"

#include <QHash>
#include <QTimer>

#include <avahi-client/lookup.h>

#include <memory>

class TAvahiClient;

// The computers of the daemon's browse domain that run this program or publish a workstation,
// as the daemon tells of them: every service is resolved (IPv4), and a computer is called by
// its host name when the system resolver finds that name at the same address, else by the
// address. All-for-now comes when both browsers have told what the daemon knows and those
// answers are in, or after FirstAnswersMs; a name check that takes longer than NameCheckMs
// counts as failed.
class TDnsSdPeerBrowser : public IPeerBrowser
{
    Q_OBJECT
public:
    static constexpr const char* WorkstationType = "_workstation._tcp";
    static constexpr int FirstAnswersMs = 2500;
    static constexpr int NameCheckMs = 2000;

    explicit TDnsSdPeerBrowser(std::shared_ptr<TAvahiClient> client, QObject* parent = nullptr);
    ~TDnsSdPeerBrowser() override;

    void Start() override;
    void Stop() override;
    bool IsBrowsing() const override { return browsing_; }

private:
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
                    const AvahiAddress* address, const QString& announcedKey);
    void CheckName(const QString& key, const QString& hostName, const QHostAddress& address);
    void NameAnswered(const QString& key, bool matches);
    void Browse();
    // Ends every lookup; what was made with the client is forgotten unfreed when it has gone.
    void Drop(bool clientAlive);
    void CheckAllForNow();
    void TellAllForNow();

    std::shared_ptr<TAvahiClient> client_;
    TDnsSdPeerTable table_;
    bool browsing_ = false;
    bool toldAllForNow_ = false;
    AvahiServiceBrowser* copies_ = nullptr;
    AvahiServiceBrowser* workstations_ = nullptr;
    bool copiesTold_ = false; // each browser has told all the daemon knows
    bool workstationsTold_ = false;
    QHash<AvahiServiceResolver*, QString> resolving_; // service by its resolver
    QHash<QString, int> lookups_;                     // host lookup ids by computer
    QTimer firstAnswers_;
    quint64 generation_ = 0; // what belongs to an earlier start is ignored
};

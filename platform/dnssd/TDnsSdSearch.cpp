#include "platform/dnssd/TDnsSdSearch.h"

#include "platform/dnssd/TAvahiClient.h"
#include "platform/dnssd/TDnsSdPublisher.h"
#include "platform/logging/Logging.h"

#include <avahi-common/address.h>
#include <avahi-common/error.h>

#include <QHostInfo>

namespace {
// Only a plain DNS name is handed to the system resolver; anything else is called by address.
bool IsPlainHostName(const QString& name)
{
    if (name.isEmpty() || name.size() > 253 || name.startsWith(u'.') || name.startsWith(u'-'))
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
} // namespace

TDnsSdSearch::TDnsSdSearch(TAvahiClient& client, const QString& domain, int deadlineMs,
                           QObject* parent)
    : QObject(parent), client_(client), domain_(domain)
{
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        qCDebug(lcDnsSd) << "search of" << domain_ << "stopped at its deadline";
        Finish();
    });
    // Everything made with the client goes with it.
    connect(&client_, &TAvahiClient::Resetting, this, [this] {
        copies_ = workstations_ = nullptr;
        for (TService& service : services_)
            service.resolver = nullptr;
        Finish();
    });
    if (!client_.IsRunning()) {
        finished_ = true;
        return;
    }
    const QByteArray name = domain_.toUtf8();
    copies_ = avahi_service_browser_new(client_.Handle(), AVAHI_IF_UNSPEC, AVAHI_PROTO_INET,
                                        TDnsSdPublisher::ServiceType, name.constData(),
                                        AvahiLookupFlags(0), &TDnsSdSearch::BrowseCallback, this);
    workstations_ = avahi_service_browser_new(
        client_.Handle(), AVAHI_IF_UNSPEC, AVAHI_PROTO_INET, WorkstationType, name.constData(),
        AvahiLookupFlags(0), &TDnsSdSearch::BrowseCallback, this);
    browsing_ = (copies_ ? 1 : 0) + (workstations_ ? 1 : 0);
    if (browsing_ == 0) {
        qCWarning(lcDnsSd) << "cannot browse" << domain_ << ":"
                           << avahi_strerror(avahi_client_errno(client_.Handle()));
        finished_ = true;
        return;
    }
    deadline_.start(deadlineMs);
}

TDnsSdSearch::~TDnsSdSearch()
{
    Finish();
}

QString TDnsSdSearch::Key(const QString& type, int iface, const QString& name)
{
    return type + QLatin1Char('\n') + QString::number(iface) + QLatin1Char('\n') + name;
}

void TDnsSdSearch::BrowseCallback(AvahiServiceBrowser* browser, AvahiIfIndex iface,
                                  AvahiProtocol protocol, AvahiBrowserEvent event, const char* name,
                                  const char* type, const char*, AvahiLookupResultFlags,
                                  void* userdata)
{
    static_cast<TDnsSdSearch*>(userdata)->OnBrowse(browser, iface, protocol, event, name, type);
}

void TDnsSdSearch::OnBrowse(AvahiServiceBrowser* browser, AvahiIfIndex iface,
                            AvahiProtocol protocol, AvahiBrowserEvent event, const char* name,
                            const char* type)
{
    if (finished_)
        return;
    switch (event) {
    case AVAHI_BROWSER_NEW: {
        const QString serviceName = QString::fromUtf8(name);
        const QString key = Key(QString::fromUtf8(type), iface, serviceName);
        if (byKey_.contains(key))
            break;
        if (int(services_.size()) >= MaxServices) {
            qCDebug(lcDnsSd) << "search full: dropped a service";
            break;
        }
        TService service;
        service.name = serviceName;
        service.programCopy = browser == copies_;
        service.resolver = avahi_service_resolver_new(
            client_.Handle(), iface, protocol, name, type, domain_.toUtf8().constData(),
            AVAHI_PROTO_INET, AvahiLookupFlags(0), &TDnsSdSearch::ResolveCallback, this);
        if (!service.resolver)
            break;
        byKey_.insert(key, services_.size());
        services_.push_back(std::move(service));
        break;
    }
    case AVAHI_BROWSER_REMOVE: {
        const auto found =
            byKey_.find(Key(QString::fromUtf8(type), iface, QString::fromUtf8(name)));
        if (found == byKey_.end())
            break;
        TService& service = services_[*found];
        if (service.resolver) {
            avahi_service_resolver_free(service.resolver);
            service.resolver = nullptr;
        }
        service.resolved = false; // gone
        break;
    }
    case AVAHI_BROWSER_ALL_FOR_NOW:
    case AVAHI_BROWSER_FAILURE:
        // Each browser counts once, whichever of the two it says first.
        if (browser == copies_ || browser == workstations_) {
            if (event == AVAHI_BROWSER_FAILURE)
                qCDebug(lcDnsSd) << "browsing failed:"
                                 << avahi_strerror(avahi_client_errno(client_.Handle()));
            avahi_service_browser_free(browser);
            (browser == copies_ ? copies_ : workstations_) = nullptr;
            --browsing_;
        }
        break;
    case AVAHI_BROWSER_CACHE_EXHAUSTED:
        break;
    }
    CheckDone();
}

void TDnsSdSearch::ResolveCallback(AvahiServiceResolver* resolver, AvahiIfIndex, AvahiProtocol,
                                   AvahiResolverEvent event, const char*, const char*, const char*,
                                   const char* hostName, const AvahiAddress* address, uint16_t,
                                   AvahiStringList*, AvahiLookupResultFlags, void* userdata)
{
    static_cast<TDnsSdSearch*>(userdata)->OnResolved(resolver, event, hostName, address);
}

void TDnsSdSearch::OnResolved(AvahiServiceResolver* resolver, AvahiResolverEvent event,
                              const char* hostName, const AvahiAddress* address)
{
    TService* service = nullptr;
    for (TService& s : services_)
        if (s.resolver == resolver)
            service = &s;
    avahi_service_resolver_free(resolver);
    if (!service)
        return;
    service->resolver = nullptr;
    if (event == AVAHI_RESOLVER_FOUND && address && address->proto == AVAHI_PROTO_INET &&
        hostName) {
        char text[AVAHI_ADDRESS_STR_MAX] = {};
        avahi_address_snprint(text, sizeof text, address);
        service->address = QHostAddress(QString::fromLatin1(text));
        service->hostName = QString::fromUtf8(hostName);
        service->resolved = !service->address.isNull();
        if (service->resolved)
            CheckName(service->hostName, service->address);
    } else {
        // A computer that does not answer has left without saying so.
        service->resolved = false;
    }
    CheckDone();
}

void TDnsSdSearch::CheckName(const QString& hostName, const QHostAddress& address)
{
    const QString key = hostName.toLower() + QLatin1Char('\n') + address.toString();
    if (names_.contains(key))
        return;
    TNameCheck& check = names_[key];
    if (!IsPlainHostName(hostName)) {
        check.done = true;
        return;
    }
    check.lookupId =
        QHostInfo::lookupHost(hostName, this, [this, key, address](const QHostInfo& info) {
            const auto found = names_.find(key);
            if (found == names_.end() || found->done)
                return;
            found->done = true;
            found->matches =
                info.error() == QHostInfo::NoError && info.addresses().contains(address);
            CheckDone();
        });
}

bool TDnsSdSearch::NameResolves(const TDnsSdHost& host) const
{
    const auto found =
        names_.find(host.hostName.toLower() + QLatin1Char('\n') + host.address.toString());
    return found != names_.end() && found->done && found->matches;
}

void TDnsSdSearch::CheckDone()
{
    if (finished_ || browsing_ > 0)
        return;
    for (const TService& service : services_)
        if (service.resolver)
            return;
    for (const TNameCheck& check : names_)
        if (!check.done)
            return;
    Finish();
}

void TDnsSdSearch::FreeLookups()
{
    for (TNameCheck& check : names_) {
        if (!check.done && check.lookupId >= 0)
            QHostInfo::abortHostLookup(check.lookupId);
        check.done = true;
    }
}

void TDnsSdSearch::Finish()
{
    if (finished_ && !copies_ && !workstations_)
        return;
    const bool announce = !finished_;
    finished_ = true;
    deadline_.stop();
    for (TService& service : services_)
        if (service.resolver) {
            avahi_service_resolver_free(service.resolver);
            service.resolver = nullptr;
        }
    for (AvahiServiceBrowser** browser : {&copies_, &workstations_})
        if (*browser) {
            avahi_service_browser_free(*browser);
            *browser = nullptr;
        }
    FreeLookups();
    if (announce)
        emit Finished();
}

std::vector<TDnsSdHost> TDnsSdSearch::Hosts() const
{
    std::vector<TDnsSdHost> hosts;
    QHash<QString, std::size_t> byHost;
    for (const TService& service : services_) {
        if (!service.resolved)
            continue;
        const QString key =
            service.hostName.toLower() + QLatin1Char('\n') + service.address.toString();
        const auto found = byHost.find(key);
        if (found == byHost.end()) {
            byHost.insert(key, hosts.size());
            hosts.push_back({service.name, service.hostName, service.address, service.programCopy});
        } else if (service.programCopy && !hosts[*found].programCopy) {
            // A computer that answers calls is shown by its caller ID.
            hosts[*found].instanceName = service.name;
            hosts[*found].programCopy = true;
        }
    }
    return hosts;
}

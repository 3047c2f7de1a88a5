#include "platform/dnssd/TDnsSdPeerBrowser.h"

#include "platform/dnssd/TAvahiClient.h"
#include "platform/dnssd/TDnsSdPublisher.h"
#include "platform/logging/Logging.h"

#include <avahi-common/address.h>
#include <avahi-common/error.h>

#include <QHostInfo>

namespace {
QString ServiceKey(const char* type, int iface, const char* name)
{
    return QString::fromUtf8(type) + QLatin1Char('\n') + QString::number(iface) +
           QLatin1Char('\n') + QString::fromUtf8(name);
}
} // namespace

TDnsSdPeerBrowser::TDnsSdPeerBrowser(std::shared_ptr<TAvahiClient> client, QObject* parent)
    : IPeerBrowser(parent), client_(std::move(client))
{
    table_.OnAppeared = [this](const TPeer& peer) {
        qCDebug(lcDnsSd).noquote()
            << "appeared:" << peer.host << (peer.programCopy ? "(copy)" : "");
        emit Appeared(peer);
    };
    table_.OnChanged = [this](const TPeer& peer) { emit Changed(peer); };
    table_.OnGone = [this](const QString& key) {
        qCDebug(lcDnsSd).noquote() << "gone:" << QString(key).replace(QLatin1Char('\n'), u' ');
        emit Gone(key);
    };
    table_.OnCheckName = [this](const QString& key, const QString& hostName,
                                const QHostAddress& address) { CheckName(key, hostName, address); };
    firstAnswers_.setSingleShot(true);
    connect(&firstAnswers_, &QTimer::timeout, this, [this] {
        qCDebug(lcDnsSd) << "first answers not all in after" << FirstAnswersMs << "ms";
        TellAllForNow();
    });
    // Everything made with the client goes with it; the computers it told of are not known
    // any more, and browsing goes on once the daemon is back.
    connect(client_.get(), &TAvahiClient::Resetting, this, [this] {
        Drop(false);
        table_.ForgetAll();
    });
    connect(client_.get(), &TAvahiClient::Running, this, [this] {
        if (browsing_)
            Browse();
    });
}

TDnsSdPeerBrowser::~TDnsSdPeerBrowser()
{
    table_ = TDnsSdPeerTable(); // tells nobody while it goes
    Drop(true);
}

void TDnsSdPeerBrowser::Start()
{
    Stop();
    browsing_ = true;
    toldAllForNow_ = false;
    firstAnswers_.start(FirstAnswersMs);
    Browse();
    CheckAllForNow();
}

void TDnsSdPeerBrowser::Stop()
{
    browsing_ = false;
    ++generation_;
    firstAnswers_.stop();
    Drop(true);
    table_.Clear();
}

void TDnsSdPeerBrowser::Browse()
{
    if (!client_->IsRunning())
        return; // nothing to find until the daemon runs
    const QByteArray domain = client_->DomainName().toUtf8();
    for (auto [browser, type, told] :
         {std::tuple{&copies_, TDnsSdPublisher::ServiceType, &copiesTold_},
          std::tuple{&workstations_, WorkstationType, &workstationsTold_}}) {
        if (*browser)
            continue;
        *told = false;
        *browser = avahi_service_browser_new(client_->Handle(), AVAHI_IF_UNSPEC, AVAHI_PROTO_INET,
                                             type, domain.constData(), AvahiLookupFlags(0),
                                             &TDnsSdPeerBrowser::BrowseCallback, this);
        if (!*browser)
            qCWarning(lcDnsSd) << "cannot browse for" << type << ":"
                               << avahi_strerror(avahi_client_errno(client_->Handle()));
    }
}

void TDnsSdPeerBrowser::Drop(bool clientAlive)
{
    for (auto it = resolving_.cbegin(); it != resolving_.cend(); ++it)
        if (clientAlive)
            avahi_service_resolver_free(it.key());
    resolving_.clear();
    for (AvahiServiceBrowser** browser : {&copies_, &workstations_}) {
        if (*browser && clientAlive)
            avahi_service_browser_free(*browser);
        *browser = nullptr;
    }
    for (const int id : std::as_const(lookups_))
        QHostInfo::abortHostLookup(id);
    lookups_.clear();
}

void TDnsSdPeerBrowser::BrowseCallback(AvahiServiceBrowser* browser, AvahiIfIndex iface,
                                       AvahiProtocol protocol, AvahiBrowserEvent event,
                                       const char* name, const char* type, const char*,
                                       AvahiLookupResultFlags, void* userdata)
{
    static_cast<TDnsSdPeerBrowser*>(userdata)->OnBrowse(browser, iface, protocol, event, name,
                                                        type);
}

void TDnsSdPeerBrowser::OnBrowse(AvahiServiceBrowser* browser, AvahiIfIndex iface,
                                 AvahiProtocol protocol, AvahiBrowserEvent event, const char* name,
                                 const char* type)
{
    if (browser != copies_ && browser != workstations_)
        return;
    switch (event) {
    case AVAHI_BROWSER_NEW: {
        if (!name || !type)
            break;
        const QString key = ServiceKey(type, iface, name);
        if (!table_.Add(key, QString::fromUtf8(name), browser == copies_))
            break;
        const QByteArray domain = client_->DomainName().toUtf8();
        AvahiServiceResolver* resolver = avahi_service_resolver_new(
            client_->Handle(), iface, protocol, name, type, domain.constData(), AVAHI_PROTO_INET,
            AvahiLookupFlags(0), &TDnsSdPeerBrowser::ResolveCallback, this);
        if (resolver)
            resolving_.insert(resolver, key);
        else
            table_.Remove(key);
        break;
    }
    case AVAHI_BROWSER_REMOVE: {
        if (!name || !type)
            break;
        const QString key = ServiceKey(type, iface, name);
        if (AvahiServiceResolver* pending = resolving_.key(key)) {
            resolving_.remove(pending);
            avahi_service_resolver_free(pending);
        }
        table_.Remove(key);
        break;
    }
    case AVAHI_BROWSER_ALL_FOR_NOW:
        (browser == copies_ ? copiesTold_ : workstationsTold_) = true;
        break;
    case AVAHI_BROWSER_FAILURE:
        qCDebug(lcDnsSd) << "browsing failed:"
                         << avahi_strerror(avahi_client_errno(client_->Handle()));
        avahi_service_browser_free(browser);
        (browser == copies_ ? copies_ : workstations_) = nullptr;
        break;
    case AVAHI_BROWSER_CACHE_EXHAUSTED:
        break;
    }
    CheckAllForNow();
}

void TDnsSdPeerBrowser::ResolveCallback(AvahiServiceResolver* resolver, AvahiIfIndex, AvahiProtocol,
                                        AvahiResolverEvent event, const char*, const char*,
                                        const char*, const char* hostName,
                                        const AvahiAddress* address, uint16_t, AvahiStringList* txt,
                                        AvahiLookupResultFlags, void* userdata)
{
    // What a record may hold is bounded by DNS; a list longer than a copy's is not read on.
    QList<QByteArray> entries;
    for (AvahiStringList* at = txt; at && entries.size() < 32; at = avahi_string_list_get_next(at))
        entries << QByteArray(reinterpret_cast<const char*>(avahi_string_list_get_text(at)),
                              qsizetype(qMin<size_t>(avahi_string_list_get_size(at), 255)));
    static_cast<TDnsSdPeerBrowser*>(userdata)->OnResolved(resolver, event, hostName, address,
                                                          TDnsSdPeerTable::AnnouncedKey(entries));
}

void TDnsSdPeerBrowser::OnResolved(AvahiServiceResolver* resolver, AvahiResolverEvent event,
                                   const char* hostName, const AvahiAddress* address,
                                   const QString& announcedKey)
{
    const QString key = resolving_.take(resolver);
    avahi_service_resolver_free(resolver);
    if (key.isEmpty())
        return;
    if (event == AVAHI_RESOLVER_FOUND && address && address->proto == AVAHI_PROTO_INET &&
        hostName) {
        char text[AVAHI_ADDRESS_STR_MAX] = {};
        avahi_address_snprint(text, sizeof text, address);
        table_.Resolved(key, QString::fromUtf8(hostName), QHostAddress(QString::fromLatin1(text)),
                        announcedKey);
    } else {
        // A computer that does not answer has left without saying so.
        table_.Remove(key);
    }
    CheckAllForNow();
}

void TDnsSdPeerBrowser::CheckName(const QString& key, const QString& hostName,
                                  const QHostAddress& address)
{
    if (!TDnsSdPeerTable::IsPlainHostName(hostName)) {
        table_.NameChecked(key, false);
        return;
    }
    const quint64 generation = generation_;
    const int id = QHostInfo::lookupHost(
        hostName, this, [this, generation, key, address](const QHostInfo& info) {
            if (generation != generation_ || lookups_.value(key, -1) != info.lookupId())
                return;
            NameAnswered(key,
                         info.error() == QHostInfo::NoError && info.addresses().contains(address));
        });
    lookups_.insert(key, id);
    // The system resolver may ask the network itself; it does not hold up the list for long.
    QTimer::singleShot(NameCheckMs, this, [this, generation, key, id] {
        if (generation != generation_ || lookups_.value(key, -1) != id)
            return;
        QHostInfo::abortHostLookup(id);
        NameAnswered(key, false);
    });
}

void TDnsSdPeerBrowser::NameAnswered(const QString& key, bool matches)
{
    lookups_.remove(key);
    table_.NameChecked(key, matches);
    CheckAllForNow();
}

void TDnsSdPeerBrowser::CheckAllForNow()
{
    if (!browsing_ || toldAllForNow_)
        return;
    if ((copies_ && !copiesTold_) || (workstations_ && !workstationsTold_))
        return;
    if (!resolving_.isEmpty() || table_.Checking())
        return;
    TellAllForNow();
}

void TDnsSdPeerBrowser::TellAllForNow()
{
    if (!browsing_ || toldAllForNow_)
        return;
    toldAllForNow_ = true;
    firstAnswers_.stop();
    // Never from inside Start: whoever started is set up for the answer first.
    const quint64 generation = generation_;
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation == generation_ && browsing_)
                emit AllForNow();
        },
        Qt::QueuedConnection);
}

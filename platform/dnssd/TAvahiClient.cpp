#include "platform/dnssd/TAvahiClient.h"

#include "platform/logging/Logging.h"

#include <avahi-common/error.h>

namespace {
constexpr int FirstRetryMs = 500;
constexpr int LastRetryMs = 30000;
} // namespace

TAvahiClient::TAvahiClient(QObject* parent) : QObject(parent)
{
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, [this] { Connect(); });
    Connect();
}

TAvahiClient::~TAvahiClient()
{
    Reset();
}

bool TAvahiClient::IsRunning() const
{
    return client_ && state_ == AVAHI_CLIENT_S_RUNNING;
}

QString TAvahiClient::DomainName() const
{
    if (!IsRunning())
        return {};
    const char* domain = avahi_client_get_domain_name(client_);
    return domain ? QString::fromUtf8(domain) : QString();
}

void TAvahiClient::StateCallback(AvahiClient* client, AvahiClientState state, void* userdata)
{
    static_cast<TAvahiClient*>(userdata)->OnState(client, state);
}

void TAvahiClient::Connect()
{
    Reset();
    int error = 0;
    // NO_FAIL: without a daemon the client waits for one instead of failing.
    AvahiClient* made = avahi_client_new(poll_.Api(), AVAHI_CLIENT_NO_FAIL,
                                         &TAvahiClient::StateCallback, this, &error);
    if (!made) {
        // No system bus at all; ask again now and then, ever more rarely.
        retryMs_ = retryMs_ ? std::min(retryMs_ * 2, LastRetryMs) : FirstRetryMs;
        qCDebug(lcDnsSd) << "no Avahi client:" << avahi_strerror(error) << "- again in" << retryMs_
                         << "ms";
        retry_.start(retryMs_);
        return;
    }
    client_ = made;
    state_ = avahi_client_get_state(made);
    if (state_ == AVAHI_CLIENT_S_RUNNING) {
        retryMs_ = 0;
        emit Running();
    }
}

void TAvahiClient::Reset()
{
    if (!client_)
        return;
    emit Resetting();
    AvahiClient* gone = client_;
    client_ = nullptr;
    state_ = AVAHI_CLIENT_CONNECTING;
    avahi_client_free(gone);
}

void TAvahiClient::OnState(AvahiClient* client, AvahiClientState state)
{
    // The first call comes from within avahi_client_new, before client_ is set.
    if (client_ && client != client_)
        return;
    const bool wasRunning = client_ && state_ == AVAHI_CLIENT_S_RUNNING;
    state_ = state;
    switch (state) {
    case AVAHI_CLIENT_S_RUNNING:
        qCDebug(lcDnsSd) << "Avahi daemon running, host" << avahi_client_get_host_name_fqdn(client);
        retryMs_ = 0;
        if (client_ && !wasRunning)
            emit Running();
        break;
    case AVAHI_CLIENT_S_REGISTERING:
    case AVAHI_CLIENT_S_COLLISION:
        if (client_)
            emit Registering();
        break;
    case AVAHI_CLIENT_CONNECTING:
        qCDebug(lcDnsSd) << "waiting for an Avahi daemon";
        if (client_ && wasRunning)
            emit Registering();
        break;
    case AVAHI_CLIENT_FAILURE:
        qCDebug(lcDnsSd) << "Avahi client failed:" << avahi_strerror(avahi_client_errno(client));
        // The client cannot be freed from its own callback; a new one is made shortly.
        retryMs_ = retryMs_ ? std::min(retryMs_ * 2, LastRetryMs) : FirstRetryMs;
        retry_.start(retryMs_);
        break;
    }
}

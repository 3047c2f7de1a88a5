#include "calls/THostLookup.h"

#include "platform/logging/Logging.h"

#include <QTimer>

THostLookup::THostLookup(QObject* parent) : QObject(parent) {}

THostLookup::~THostLookup()
{
    for (int id : std::as_const(resolverIds_))
        QHostInfo::abortHostLookup(id);
}

QString THostLookup::NotFound()
{
    return tr("Socket Error # 11001\nHost not found.");
}

QList<QHostAddress> THostLookup::IPv4Of(const QHostInfo& info)
{
    QList<QHostAddress> found;
    for (const QHostAddress& a : info.addresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !found.contains(a))
            found << a;
    return found;
}

int THostLookup::Start(const QString& host, Done done)
{
    const QString name = host.trimmed();
    QHostAddress address;
    if (address.setAddress(name) && address.protocol() == QAbstractSocket::IPv4Protocol) {
        const int id = nextOwnId_--;
        pending_.insert(id, std::move(done));
        QTimer::singleShot(0, this, [this, id, address] { Finish(id, {address}); });
        return id;
    }
    if (name.isEmpty()) {
        const int id = nextOwnId_--;
        pending_.insert(id, std::move(done));
        QTimer::singleShot(0, this, [this, id] { Finish(id, {}); });
        return id;
    }
    // The id is only known once lookupHost returns, and the result never comes before that.
    auto id = std::make_shared<int>(0);
    *id = QHostInfo::lookupHost(name, this, [this, id](const QHostInfo& info) {
        resolverIds_.removeOne(*id);
        if (info.error() != QHostInfo::NoError)
            qCInfo(lcCall).noquote() << "lookup failed:" << info.errorString();
        Finish(*id, IPv4Of(info));
    });
    resolverIds_ << *id;
    pending_.insert(*id, std::move(done));
    return *id;
}

void THostLookup::Abort(int id)
{
    pending_.remove(id);
    if (resolverIds_.removeOne(id))
        QHostInfo::abortHostLookup(id);
}

void THostLookup::Finish(int id, const QList<QHostAddress>& addresses)
{
    const Done done = pending_.take(id);
    if (!done)
        return;
    done(addresses, addresses.isEmpty() ? NotFound() : QString());
}

#pragma once

#include "calls/IHostLookup.h"

#include <QHash>
#include <QHostInfo>
#include <QObject>

// Lookups through Qt's resolver threads: a dotted address is taken as it stands, a name goes to
// the system's resolver and ends after the resolver's own time-out when no server answers.
class THostLookup : public QObject, public IHostLookup
{
    Q_OBJECT
public:
    explicit THostLookup(QObject* parent = nullptr);
    ~THostLookup() override;

    int Start(const QString& host, Done done) override;
    void Abort(int id) override;

    // The text a host that cannot be found is reported with.
    static QString NotFound();
    // The IPv4 addresses of a lookup's result, each once, in the resolver's order.
    static QList<QHostAddress> IPv4Of(const QHostInfo& info);

private:
    void Finish(int id, const QList<QHostAddress>& addresses);

    QHash<int, Done> pending_;
    QList<int> resolverIds_; // lookups Qt's resolver still works on
    int nextOwnId_ = -1;     // ids of dotted addresses, apart from the resolver's
};

#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

#include <functional>

// Finds the IPv4 addresses of a host (a dotted address or a name) without holding up the
// thread that asks.
class IHostLookup
{
public:
    // The addresses found, the first being the one to use, or, when there are none, the error
    // text to show.
    using Done = std::function<void(const QList<QHostAddress>& addresses, const QString& error)>;

    virtual ~IHostLookup() = default;
    // Starts a lookup; done runs later on the asking thread, never inside Start. The id given
    // back aborts it.
    virtual int Start(const QString& host, Done done) = 0;
    // done will not run for that lookup; an id that has finished is ignored.
    virtual void Abort(int id) = 0;
};

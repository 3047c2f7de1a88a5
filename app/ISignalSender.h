#pragma once

#include <QString>

// Sends one call-signalling text to a host; throws ESockError when it cannot.
class ISignalSender
{
public:
    virtual ~ISignalSender() = default;
    virtual void Send(const QString& text, const QString& host) = 0;
};

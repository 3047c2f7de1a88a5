#pragma once

#include "platform/peers/TPeer.h"

#include <QObject>

// Watches the network for computers while started and tells as they come and go. Every signal
// arrives on the thread the browser lives on; none of its calls waits.
class IPeerBrowser : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~IPeerBrowser() override = default;

    // Forgets what it knew and looks afresh: every computer is told again through Appeared,
    // then AllForNow. Starting a running browser restarts it.
    virtual void Start() = 0;
    // Tells nothing more until the next Start.
    virtual void Stop() = 0;
    virtual bool IsBrowsing() const = 0;

signals:
    void Appeared(const TPeer& peer);
    // Something shown of a computer already told changed (its name, its program copy).
    void Changed(const TPeer& peer);
    void Gone(const QString& key);
    // What the network knows now has been told, or the time for the first answers is up;
    // once per Start. Computers may still come and go afterwards.
    void AllForNow();
};

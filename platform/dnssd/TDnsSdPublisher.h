#pragma once

#include <QObject>
#include <QString>

#include <memory>

#include <avahi-client/publish.h>

class TAvahiClient;

// Announces this copy as a "_parlavue._udp" service on the call port, named with the caller
// ID, so that other copies can tell the computers that answer calls. Another service of the
// same name makes it pick the next free one ("Name #2"); the service is withdrawn when this
// object goes, and published again whenever the daemon comes back.
class TDnsSdPublisher : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* ServiceType = "_parlavue._udp";
    static constexpr int MaxNameBytes = 63; // a DNS label

    TDnsSdPublisher(std::shared_ptr<TAvahiClient> client, quint16 port, QObject* parent = nullptr);
    ~TDnsSdPublisher() override;

    // The caller ID to publish; an empty one publishes the computer's host name.
    void SetName(const QString& callerId);
    // The name the network accepted; empty until then.
    QString PublishedName() const { return published_; }

    // A caller ID as an instance name: controls become spaces, cut to whole characters
    // within a DNS label; empty when nothing printable is left.
    static QString InstanceName(const QString& callerId);

signals:
    void Established(const QString& name);

private:
    static void GroupCallback(AvahiEntryGroup* group, AvahiEntryGroupState state, void* userdata);
    void OnGroupState(AvahiEntryGroup* group, AvahiEntryGroupState state);
    void Publish();
    void Drop();

    std::shared_ptr<TAvahiClient> client_;
    quint16 port_;
    QString wanted_; // the name asked for
    QString trying_; // the name being registered: wanted_ or an alternative of it
    QString published_;
    AvahiEntryGroup* group_ = nullptr;
    int renames_ = 0;
};

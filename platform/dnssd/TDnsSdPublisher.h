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
    // This copy's key fingerprint (52 characters of base 32) for the TXT record ("pvsec=1",
    // "pvfp=..."), so other copies know to open secure channels; empty announces none.
    void SetAnnouncedKey(const QString& fingerprint);
    // Off, nothing is announced at all (the service is withdrawn) until it is on again.
    void SetListed(bool listed);
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
    QByteArray announcedKey_;
    bool listed_ = true;
    AvahiEntryGroup* group_ = nullptr;
    int renames_ = 0;
};

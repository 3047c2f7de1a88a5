#include "platform/dnssd/TDnsSdPublisher.h"

#include "platform/dnssd/TAvahiClient.h"
#include "platform/logging/Logging.h"

#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>

#include <QSysInfo>

namespace {
// A run of names taken one after the other means something else is wrong; stop there.
constexpr int MaxRenames = 50;
} // namespace

TDnsSdPublisher::TDnsSdPublisher(std::shared_ptr<TAvahiClient> client, quint16 port,
                                 QObject* parent)
    : QObject(parent), client_(std::move(client)), port_(port)
{
    connect(client_.get(), &TAvahiClient::Running, this, [this] { Publish(); });
    connect(client_.get(), &TAvahiClient::Resetting, this, [this] { Drop(); });
    connect(client_.get(), &TAvahiClient::Registering, this, [this] {
        // The daemon's own names are in question: start over once it runs again.
        if (group_)
            avahi_entry_group_reset(group_);
        published_.clear();
    });
}

TDnsSdPublisher::~TDnsSdPublisher()
{
    Drop();
}

QString TDnsSdPublisher::InstanceName(const QString& callerId)
{
    QString name;
    for (const QChar c : callerId)
        name += (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
                 c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
                    ? QChar(u' ')
                    : c;
    name = name.trimmed();
    // Whole characters only: never half a surrogate pair or a UTF-8 sequence.
    while (!name.isEmpty() && name.toUtf8().size() > MaxNameBytes) {
        name.chop(1);
        if (!name.isEmpty() && name.back().isHighSurrogate())
            name.chop(1);
    }
    return name.trimmed();
}

void TDnsSdPublisher::SetName(const QString& callerId)
{
    QString name = InstanceName(callerId);
    if (name.isEmpty())
        name = InstanceName(QSysInfo::machineHostName());
    if (name.isEmpty())
        name = QStringLiteral("Parlavue");
    if (name == wanted_)
        return;
    wanted_ = name;
    trying_ = name;
    renames_ = 0;
    if (group_)
        avahi_entry_group_reset(group_);
    published_.clear();
    Publish();
}

void TDnsSdPublisher::SetAnnouncedKey(const QString& fingerprint)
{
    const QByteArray key = fingerprint.toLatin1();
    if (key == announcedKey_)
        return;
    announcedKey_ = key;
    if (group_)
        avahi_entry_group_reset(group_);
    Publish();
}

void TDnsSdPublisher::SetListed(bool listed)
{
    if (listed == listed_)
        return;
    listed_ = listed;
    qCInfo(lcDnsSd) << (listed ? "shown on the network" : "not shown on the network");
    if (listed)
        Publish();
    else
        Drop();
}

void TDnsSdPublisher::Drop()
{
    if (group_) {
        // Freeing the group withdraws the service (the daemon sends goodbyes).
        avahi_entry_group_free(group_);
        group_ = nullptr;
        qCDebug(lcDnsSd) << "withdrew" << published_;
    }
    published_.clear();
}

void TDnsSdPublisher::Publish()
{
    if (trying_.isEmpty() || !client_->IsRunning() || !listed_)
        return;
    if (!group_) {
        group_ = avahi_entry_group_new(client_->Handle(), &TDnsSdPublisher::GroupCallback, this);
        if (!group_) {
            qCWarning(lcDnsSd) << "cannot publish:"
                               << avahi_strerror(avahi_client_errno(client_->Handle()));
            return;
        }
    }
    if (!avahi_entry_group_is_empty(group_))
        avahi_entry_group_reset(group_);
    const QByteArray name = trying_.toUtf8();
    const QByteArray key = "pvfp=" + announcedKey_;
    int rc = announcedKey_.isEmpty()
                 ? avahi_entry_group_add_service(
                       group_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0),
                       name.constData(), ServiceType, nullptr, nullptr, port_, "txtvers=1", nullptr)
                 : avahi_entry_group_add_service(group_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
                                                 AvahiPublishFlags(0), name.constData(),
                                                 ServiceType, nullptr, nullptr, port_, "txtvers=1",
                                                 "pvsec=1", key.constData(), nullptr);
    if (rc == AVAHI_ERR_COLLISION) {
        // Taken on this computer already (another local program).
        OnGroupState(group_, AVAHI_ENTRY_GROUP_COLLISION);
        return;
    }
    if (rc >= 0)
        rc = avahi_entry_group_commit(group_);
    if (rc < 0)
        qCWarning(lcDnsSd) << "cannot publish" << trying_ << ":" << avahi_strerror(rc);
    else
        qCDebug(lcDnsSd) << "publishing" << trying_;
}

void TDnsSdPublisher::GroupCallback(AvahiEntryGroup* group, AvahiEntryGroupState state,
                                    void* userdata)
{
    static_cast<TDnsSdPublisher*>(userdata)->OnGroupState(group, state);
}

void TDnsSdPublisher::OnGroupState(AvahiEntryGroup* group, AvahiEntryGroupState state)
{
    // avahi_entry_group_new calls back before it returned the group.
    if (group_ && group != group_)
        return;
    switch (state) {
    case AVAHI_ENTRY_GROUP_ESTABLISHED:
        published_ = trying_;
        qCDebug(lcDnsSd) << "published" << published_;
        emit Established(published_);
        break;
    case AVAHI_ENTRY_GROUP_COLLISION: {
        if (++renames_ > MaxRenames) {
            qCWarning(lcDnsSd) << "gave up publishing after" << MaxRenames << "names were taken";
            break;
        }
        char* next = avahi_alternative_service_name(trying_.toUtf8().constData());
        qCDebug(lcDnsSd) << "name taken:" << trying_ << "- trying" << next;
        trying_ = QString::fromUtf8(next);
        avahi_free(next);
        published_.clear();
        // Not from within the group's own callback.
        QMetaObject::invokeMethod(
            this, [this] { Publish(); }, Qt::QueuedConnection);
        break;
    }
    case AVAHI_ENTRY_GROUP_FAILURE:
        qCWarning(lcDnsSd) << "publication failed:"
                           << avahi_strerror(avahi_client_errno(client_->Handle()));
        break;
    case AVAHI_ENTRY_GROUP_UNCOMMITED:
    case AVAHI_ENTRY_GROUP_REGISTERING:
        break;
    }
}

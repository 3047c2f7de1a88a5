#include "platform/peers/TAnnouncedKeys.h"

#include "platform/logging/Logging.h"
#include "platform/peers/IPeerBrowser.h"

TAnnouncedKeys::TAnnouncedKeys(std::shared_ptr<IPeerBrowser> browser, QObject* parent)
    : QObject(parent), browser_(std::move(browser))
{
    if (!browser_)
        return;
    connect(browser_.get(), &IPeerBrowser::Appeared, this, &TAnnouncedKeys::Seen);
    connect(browser_.get(), &IPeerBrowser::Changed, this, &TAnnouncedKeys::Seen);
    connect(browser_.get(), &IPeerBrowser::Gone, this,
            [this](const QString& key) { byPeer_.remove(key); });
    browser_->Start();
}

TAnnouncedKeys::~TAnnouncedKeys()
{
    if (browser_)
        browser_->Stop();
}

void TAnnouncedKeys::Seen(const TPeer& peer)
{
    // The browser keeps no more computers than it may; neither does this.
    if (peer.announcedKey.isEmpty() || peer.address.isEmpty()) {
        byPeer_.remove(peer.key);
        return;
    }
    const std::pair<QString, QString> entry{peer.address, peer.announcedKey};
    if (byPeer_.value(peer.key) == entry)
        return;
    byPeer_.insert(peer.key, entry);
    qCInfo(lcDnsSd).noquote() << "a key is announced at" << peer.address << ":"
                              << peer.announcedKey.left(8);
}

std::optional<QString> TAnnouncedKeys::Announced(const QHostAddress& address) const
{
    const QString text = address.toString();
    for (const auto& [at, key] : byPeer_)
        if (at == text)
            return key;
    return std::nullopt;
}

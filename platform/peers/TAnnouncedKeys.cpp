#include "platform/peers/TAnnouncedKeys.h"

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
    if (peer.announcedKey.isEmpty() || peer.address.isEmpty())
        byPeer_.remove(peer.key);
    else
        byPeer_.insert(peer.key, {peer.address, peer.announcedKey});
}

std::optional<QString> TAnnouncedKeys::Announced(const QHostAddress& address) const
{
    const QString text = address.toString();
    for (const auto& [at, key] : byPeer_)
        if (at == text)
            return key;
    return std::nullopt;
}

#pragma once

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class IPeerBrowser;
struct TPeer;

// The keys copies announce on the network, by address, kept from a browser of its own that
// runs for the whole program, whatever the "Online Network Clients" window does with its own.
class TAnnouncedKeys : public QObject
{
    Q_OBJECT
public:
    explicit TAnnouncedKeys(std::shared_ptr<IPeerBrowser> browser, QObject* parent = nullptr);
    ~TAnnouncedKeys() override;

    // The key announced at that address (52 characters of base 32); nullopt when none is.
    std::optional<QString> Announced(const QHostAddress& address) const;

private:
    void Seen(const TPeer& peer);

    std::shared_ptr<IPeerBrowser> browser_;
    QHash<QString, std::pair<QString, QString>> byPeer_; // peer key -> (address, announced key)
};

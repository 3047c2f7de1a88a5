#include "platform/peers/fake/TFakePeerBrowser.h"

#include <algorithm>

void TFakePeerBrowser::Start()
{
    ++starts;
    browsing_ = true;
    told_.clear();
    const int generation = ++generation_;
    if (answerOnStart)
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation == generation_ && browsing_)
                    Answer();
            },
            Qt::QueuedConnection);
}

void TFakePeerBrowser::Stop()
{
    browsing_ = false;
    ++generation_;
}

void TFakePeerBrowser::Answer()
{
    if (!browsing_)
        return;
    for (const TPeer& peer : std::vector<TPeer>(network_))
        if (!told_.contains(peer.key)) {
            told_.insert(peer.key);
            emit Appeared(peer);
        }
    emit AllForNow();
}

void TFakePeerBrowser::Add(const TPeer& peer)
{
    network_.push_back(peer);
    if (browsing_ && !told_.contains(peer.key)) {
        told_.insert(peer.key);
        emit Appeared(peer);
    }
}

void TFakePeerBrowser::Change(const TPeer& peer)
{
    const auto it = std::find_if(network_.begin(), network_.end(),
                                 [&](const TPeer& p) { return p.key == peer.key; });
    if (it == network_.end())
        return;
    *it = peer;
    if (browsing_ && told_.contains(peer.key))
        emit Changed(peer);
}

void TFakePeerBrowser::Remove(const QString& key)
{
    std::erase_if(network_, [&](const TPeer& p) { return p.key == key; });
    if (browsing_ && told_.remove(key))
        emit Gone(key);
}

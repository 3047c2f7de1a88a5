#pragma once

#include "platform/peers/IPeerBrowser.h"

#include <QSet>

#include <vector>

// A network held in memory for tests. A start answers from the event loop, as a daemon does:
// what the network holds, then all-for-now; while browsing, the test's changes are told at once.
class TFakePeerBrowser : public IPeerBrowser
{
    Q_OBJECT
public:
    using IPeerBrowser::IPeerBrowser;

    void Start() override;
    void Stop() override;
    bool IsBrowsing() const override { return browsing_; }

    // The network; while browsing, each is told as it happens.
    void Add(const TPeer& peer);
    void Change(const TPeer& peer);
    void Remove(const QString& key);
    // With this off, a start answers only when the test calls Answer.
    bool answerOnStart = true;
    // Tells what the network holds that is not told yet, then all-for-now.
    void Answer();

    int starts = 0;

private:
    std::vector<TPeer> network_;
    QSet<QString> told_;
    bool browsing_ = false;
    int generation_ = 0;
};

#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QLocalServer;

// One copy per user session, keyed on the per-user runtime folder: the first copy listens on a
// local socket there; a copy started after it asks the first one to come to the front and
// ends, instead of failing to bind the call ports. Copies with runtime folders of their own
// run side by side.
class TSingleInstance : public QObject
{
    Q_OBJECT
public:
    // runtimeFolder empty: the user's standard runtime folder.
    explicit TSingleInstance(QString runtimeFolder = {}, QObject* parent = nullptr);
    ~TSingleInstance() override;

    // True when this copy is the session's one and listens now; false when another copy runs
    // (it was asked to come to the front) or was reached.
    bool Claim();
    // Called in the first copy when a later one asked it to come to the front.
    std::function<void()> OnActivate;

    QString SocketPath() const { return socketPath_; }

private:
    QString socketPath_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};

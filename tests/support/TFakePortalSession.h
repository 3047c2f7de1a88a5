#pragma once

#include <QObject>

#include <functional>

// A session object of the fake screen-cast portal: tells the portal when the program closes it.
class TFakePortalSession : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Session")

public:
    explicit TFakePortalSession(std::function<void()> closed) : closed_(std::move(closed)) {}

public slots:
    void Close()
    {
        if (closed_)
            closed_();
    }

private:
    std::function<void()> closed_;
};

#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

// One desktop notification as the program asks for it. Texts are plain; the service's own
// markup is never written by the caller.
struct TNotice
{
    QString summary;
    QString body;
    // Pairs of key and label; the key "default" is the click on the notification itself.
    QStringList actions;
    // The service's hints ("urgency", "category", ...); "desktop-entry" is added for every one.
    QVariantMap hints;
    // -1: the service decides, 0: shown until closed.
    int timeoutMs = -1;
};

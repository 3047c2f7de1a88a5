#pragma once

#include "calls/IDatagramSender.h"

#include <QList>
#include <QPair>
#include <QStringList>

// Keeps what would have been sent, and to whom, instead of sending it.
class TRecordingSender : public IDatagramSender
{
public:
    QList<QPair<QByteArray, QHostAddress>> sent;
    // Texts as "payload -> address", in order.
    QStringList Lines() const
    {
        QStringList lines;
        for (const auto& [payload, to] : sent)
            lines << QString::fromUtf8(payload) + QStringLiteral(" -> ") + to.toString();
        return lines;
    }
    void SendTo(const QByteArray& payload, const QHostAddress& to) override
    {
        sent.append({payload, to});
    }
};

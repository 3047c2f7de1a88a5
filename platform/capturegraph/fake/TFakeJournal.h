#pragma once

#include "platform/capturegraph/CaptureInterfaces.h"

#include <QMap>
#include <QStringList>

// What every fake object shares: the ordered record of calls and the failures a test asked for.
class TFakeJournal
{
public:
    QStringList Entries;
    // Operation key ("Run", "AddFilter:MySmartTee", "BindToFilter:Cam") -> code to answer.
    QMap<QString, HRESULT> Failures;

    // Records op (with its first qualifier) and answers the failure registered for the plain op
    // or for "op:qualifier" with any qualifier, S_OK otherwise.
    HRESULT Call(const QString& op, const QStringList& qualifiers = {});
    // The failure registered for a key, without recording anything.
    HRESULT Lookup(const QString& op, const QStringList& qualifiers = {}) const;
};

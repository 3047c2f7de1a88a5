#include "platform/capturegraph/fake/TFakeJournal.h"

HRESULT TFakeJournal::Lookup(const QString& op, const QStringList& qualifiers) const
{
    for (const QString& q : qualifiers) {
        const auto it = Failures.constFind(op + ':' + q);
        if (it != Failures.constEnd())
            return it.value();
    }
    return Failures.value(op, Hr::S_OK);
}

HRESULT TFakeJournal::Call(const QString& op, const QStringList& qualifiers)
{
    Entries << (qualifiers.isEmpty() ? op : op + ':' + qualifiers.first());
    return Lookup(op, qualifiers);
}

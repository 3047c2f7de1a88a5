#pragma once

#include <QString>
#include <QStringList>

// The address book as other windows use it: its contact lines ("Name <host>") as they stand,
// and a new contact added at its place.
class IContactBook
{
public:
    virtual ~IContactBook() = default;
    virtual QStringList Lines() const = 0;
    virtual void AddContact(const QString& name, const QString& host) = 0;
};

#pragma once

#include <QString>

// A microphone or speaker as the sound server names it, and as people know it.
struct TSoundDevice
{
    QString name;
    QString description;

    bool operator==(const TSoundDevice&) const = default;
};

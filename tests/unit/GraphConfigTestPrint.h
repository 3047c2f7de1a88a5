#pragma once

#include "capture/TGraphConfig.h"
#include "capture/TGuid.h"

#include <ostream>

// Readable failure output: a record shows as its text form, a GUID in braces.
inline void PrintTo(const TGraphConfig& config, std::ostream* os)
{
    *os << config.SaveToString().toStdString();
}

inline void PrintTo(const TGuid& guid, std::ostream* os)
{
    *os << guid.ToString().toStdString();
}

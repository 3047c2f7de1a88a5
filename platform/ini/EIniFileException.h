#pragma once

#include "platform/errors/EError.h"

// A key could not be written: "Unable to write to <full path>".
class EIniFileException : public EError
{
public:
    using EError::EError;
};

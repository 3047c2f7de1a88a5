#pragma once

#include "platform/errors/EError.h"

// Raised for arithmetic preconditions that the caller broke (too few colours for a gradient).
class EMathError : public EError
{
public:
    using EError::EError;
};

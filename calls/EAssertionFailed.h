#pragma once

#include "platform/errors/EError.h"

// A component was used in a state it cannot serve (the media terminal is not connected).
class EAssertionFailed : public EError
{
public:
    using EError::EError;
};

#pragma once

#include "platform/errors/ESockError.h"

// A socket operation ended because it was cancelled.
class EAbortError : public ESockError
{
public:
    using ESockError::ESockError;
};

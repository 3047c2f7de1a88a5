#pragma once

#include "platform/errors/EError.h"

// A network operation failed: the host could not be found, or the datagram was refused.
class ESockError : public EError
{
public:
    using EError::EError;
};

#pragma once

#include "platform/errors/EError.h"

// A capture step failed; the component reports it and catches it itself.
class EVideoCaptureError : public EError
{
public:
    using EError::EError;
};

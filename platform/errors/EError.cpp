#include "platform/errors/EError.h"

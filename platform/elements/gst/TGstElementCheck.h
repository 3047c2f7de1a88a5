#pragma once

#include "platform/elements/TGstElements.h"

// The listed elements of the uses that this machine's GStreamer registry does not have. With
// GStreamer itself unusable, every one of them is missing.
QList<TGstElement> MissingGstElements(unsigned uses);

// Whether the registry has an element factory of that name.
bool HaveGstElement(const char* name);

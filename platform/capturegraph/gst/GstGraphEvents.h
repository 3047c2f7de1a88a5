#pragma once

// Which graph event a pipeline error becomes.

#include "platform/capturegraph/CaptureInterfaces.h"

#include <gst/gst.h>

#include <vector>

struct TGraphEvent
{
    qint32 code;
    qint64 param1;
};

// A resource error from within a capture source means the device is gone (unplugged, taken
// away, stopped answering); any other error aborts the graph.
TGraphEvent GraphEventForError(GstObject* origin, const GError* error,
                               const std::vector<GstElement*>& sources);

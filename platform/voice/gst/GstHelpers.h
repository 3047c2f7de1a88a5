#pragma once

// Small helpers for building the voice pipelines.
#include "platform/logging/Logging.h"

#include <QString>

#include <gst/gst.h>

#include <initializer_list>
#include <memory>

namespace voicelink {

struct GstObjectUnref
{
    void operator()(gpointer p) const
    {
        if (p)
            gst_object_unref(p);
    }
};
struct GObjectUnref
{
    void operator()(gpointer p) const
    {
        if (p)
            g_object_unref(p);
    }
};
struct GErrorFree
{
    void operator()(GError* e) const { g_error_free(e); }
};
using ElementPtr = std::unique_ptr<GstElement, GstObjectUnref>;
using PadPtr = std::unique_ptr<GstPad, GstObjectUnref>;
using BusPtr = std::unique_ptr<GstBus, GstObjectUnref>;
using ErrorPtr = std::unique_ptr<GError, GErrorFree>;

// Logs errors and warnings, then drops every message: nobody runs a main loop for the buses.
GstBusSyncReply logBusMessage(GstBus*, GstMessage* message, gpointer userData);
// Creates an element inside bin (which takes the floating reference); nullptr on failure.
GstElement* addElement(GstElement* bin, const char* factory, const char* name = nullptr);
GstElement* addFromDescription(GstElement* bin, const QString& description);
GstElement* addCapsFilter(GstElement* bin, const char* caps);
bool linkChain(std::initializer_list<GstElement*> chain);

} // namespace voicelink

#include "platform/capturegraph/gst/GstGraphEvents.h"

#include <algorithm>

namespace {

bool IsWithin(GstObject* object, GstElement* element)
{
    for (GstObject* o = object; o; o = GST_OBJECT_PARENT(o))
        if (o == GST_OBJECT(element))
            return true;
    return false;
}

} // namespace

TGraphEvent GraphEventForError(GstObject* origin, const GError* error,
                               const std::vector<GstElement*>& sources)
{
    const bool fromSource = std::any_of(sources.begin(), sources.end(),
                                        [&](GstElement* e) { return IsWithin(origin, e); });
    if (fromSource && error && error->domain == GST_RESOURCE_ERROR)
        return {GraphEvent::EC_DEVICE_LOST, 0};
    return {GraphEvent::EC_ERRORABORT, Hr::E_FAIL};
}

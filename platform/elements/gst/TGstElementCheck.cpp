#include "platform/elements/gst/TGstElementCheck.h"

#include <gst/gst.h>

bool HaveGstElement(const char* name)
{
    if (!gst_is_initialized() && !gst_init_check(nullptr, nullptr, nullptr))
        return false;
    GstElementFactory* factory = gst_element_factory_find(name);
    if (!factory)
        return false;
    gst_object_unref(factory);
    return true;
}

QList<TGstElement> MissingGstElements(unsigned uses)
{
    QList<TGstElement> missing;
    for (const TGstElement& e : GstElementsFor(uses))
        if (!HaveGstElement(e.name))
            missing << e;
    return missing;
}

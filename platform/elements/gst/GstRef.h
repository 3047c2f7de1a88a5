#pragma once

// Owning handles for GStreamer objects: every reference taken is dropped exactly once.

#include <gst/gst.h>

#include <memory>

struct TGstObjectUnref
{
    void operator()(gpointer object) const
    {
        if (object)
            gst_object_unref(object);
    }
};

template <class T> using TGstObjectPtr = std::unique_ptr<T, TGstObjectUnref>;

// Takes a new reference, so the caller's one stays untouched.
template <class T> TGstObjectPtr<T> GstRefObject(T* object)
{
    return TGstObjectPtr<T>(object ? static_cast<T*>(gst_object_ref(object)) : nullptr);
}

struct TGstCapsUnref
{
    void operator()(GstCaps* caps) const
    {
        if (caps)
            gst_caps_unref(caps);
    }
};

using TGstCapsPtr = std::unique_ptr<GstCaps, TGstCapsUnref>;

struct TGstSampleUnref
{
    void operator()(GstSample* sample) const
    {
        if (sample)
            gst_sample_unref(sample);
    }
};

using TGstSamplePtr = std::unique_ptr<GstSample, TGstSampleUnref>;

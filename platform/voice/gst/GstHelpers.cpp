#include "platform/voice/gst/GstHelpers.h"

#include "platform/elements/TGstElements.h"

namespace voicelink {

GstBusSyncReply logBusMessage(GstBus*, GstMessage* message, gpointer userData)
{
    const char* which = static_cast<const char*>(userData);
    const GstMessageType type = GST_MESSAGE_TYPE(message);
    if (type == GST_MESSAGE_ERROR || type == GST_MESSAGE_WARNING) {
        GError* raw = nullptr;
        gchar* debug = nullptr;
        if (type == GST_MESSAGE_ERROR)
            gst_message_parse_error(message, &raw, &debug);
        else
            gst_message_parse_warning(message, &raw, &debug);
        ErrorPtr error(raw);
        qCWarning(lcVoice) << which << (type == GST_MESSAGE_ERROR ? "error:" : "warning:")
                           << (error ? error->message : "?") << (debug ? debug : "");
        g_free(debug);
    }
    // Nobody runs a main loop for these buses: drop everything so nothing piles up.
    return GST_BUS_DROP;
}

GstElement* addElement(GstElement* bin, const char* factory, const char* name)
{
    GstElement* element = gst_element_factory_make(factory, name);
    if (!element) {
        qCWarning(lcVoice).noquote()
            << "missing GStreamer element" << DescribeGstElement(QString::fromLatin1(factory));
        return nullptr;
    }
    gst_bin_add(GST_BIN(bin), element);
    return element;
}

GstElement* addFromDescription(GstElement* bin, const QString& description)
{
    GError* raw = nullptr;
    GstElement* element =
        gst_parse_bin_from_description(description.toUtf8().constData(), TRUE, &raw);
    ErrorPtr error(raw);
    if (!element) {
        qCWarning(lcVoice) << "bad element description" << description
                           << (error ? error->message : "");
        return nullptr;
    }
    gst_bin_add(GST_BIN(bin), element);
    return element;
}

GstElement* addCapsFilter(GstElement* bin, const char* caps)
{
    GstElement* filter = addElement(bin, "capsfilter");
    if (filter) {
        GstCaps* parsed = gst_caps_from_string(caps);
        g_object_set(filter, "caps", parsed, nullptr);
        gst_caps_unref(parsed);
    }
    return filter;
}

bool linkChain(std::initializer_list<GstElement*> chain)
{
    GstElement* previous = nullptr;
    for (GstElement* element : chain) {
        if (!element)
            return false;
        if (previous && !gst_element_link(previous, element)) {
            qCWarning(lcVoice) << "cannot link" << GST_ELEMENT_NAME(previous) << "to"
                               << GST_ELEMENT_NAME(element);
            return false;
        }
        previous = element;
    }
    return true;
}

} // namespace voicelink

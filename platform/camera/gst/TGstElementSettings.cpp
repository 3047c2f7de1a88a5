#include "platform/camera/gst/TGstElementSettings.h"

#include <cmath>

TGstElementSettings::TGstElementSettings()
{
    g_weak_ref_init(&element_, nullptr);
}

TGstElementSettings::~TGstElementSettings()
{
    g_weak_ref_clear(&element_);
}

GstElement* TGstElementSettings::Live() const
{
    return static_cast<GstElement*>(g_weak_ref_get(&element_));
}

void TGstElementSettings::Attach(GstElement* element)
{
    g_weak_ref_set(&element_, element);
    if (!element)
        return;
    for (auto it = values_.cbegin(); it != values_.cend(); ++it) {
        GParamSpec* param =
            g_object_class_find_property(G_OBJECT_GET_CLASS(element), it.key().constData());
        GValue v = G_VALUE_INIT;
        if (param && ToGValue(param, it.value(), v)) {
            g_object_set_property(G_OBJECT(element), param->name, &v);
            g_value_unset(&v);
        }
    }
}

bool TGstElementSettings::Set(const GParamSpec* param, const QVariant& value)
{
    GValue v = G_VALUE_INIT;
    if (!param || !(param->flags & G_PARAM_WRITABLE) || !ToGValue(param, value, v))
        return false;
    // Out of range is refused, not clamped: the page offered only the range.
    const bool invalid = g_param_value_validate(const_cast<GParamSpec*>(param), &v);
    if (invalid) {
        g_value_unset(&v);
        return false;
    }
    values_.insert(QByteArray(param->name), FromGValue(v));
    if (GstElement* live = Live()) {
        g_object_set_property(G_OBJECT(live), param->name, &v);
        gst_object_unref(live);
    }
    g_value_unset(&v);
    return true;
}

QVariant TGstElementSettings::Get(const GParamSpec* param) const
{
    if (!param)
        return {};
    if (GstElement* live = Live()) {
        GValue v = G_VALUE_INIT;
        g_value_init(&v, param->value_type);
        g_object_get_property(G_OBJECT(live), param->name, &v);
        const QVariant result = FromGValue(v);
        g_value_unset(&v);
        gst_object_unref(live);
        return result;
    }
    if (const auto found = values_.find(QByteArray(param->name)); found != values_.end())
        return *found;
    return FromGValue(*g_param_spec_get_default_value(const_cast<GParamSpec*>(param)));
}

QVariant TGstElementSettings::FromGValue(const GValue& v)
{
    switch (G_TYPE_FUNDAMENTAL(G_VALUE_TYPE(&v))) {
    case G_TYPE_BOOLEAN:
        return qint64(g_value_get_boolean(&v) ? 1 : 0);
    case G_TYPE_INT:
        return qint64(g_value_get_int(&v));
    case G_TYPE_UINT:
        return qint64(g_value_get_uint(&v));
    case G_TYPE_LONG:
        return qint64(g_value_get_long(&v));
    case G_TYPE_ULONG:
        return qint64(g_value_get_ulong(&v));
    case G_TYPE_INT64:
        return qint64(g_value_get_int64(&v));
    case G_TYPE_UINT64:
        return qint64(g_value_get_uint64(&v));
    case G_TYPE_FLOAT:
        return double(g_value_get_float(&v));
    case G_TYPE_DOUBLE:
        return g_value_get_double(&v);
    case G_TYPE_ENUM:
        return qint64(g_value_get_enum(&v));
    case G_TYPE_STRING:
        return QString::fromUtf8(g_value_get_string(&v));
    default:
        return {};
    }
}

bool TGstElementSettings::ToGValue(const GParamSpec* param, const QVariant& value, GValue& out)
{
    const GType type = param->value_type;
    bool ok = true;
    const double number = value.toDouble(&ok);
    const bool whole = ok && std::isfinite(number) && std::floor(number) == number;
    g_value_init(&out, type);
    switch (G_TYPE_FUNDAMENTAL(type)) {
    case G_TYPE_BOOLEAN:
        if (!whole)
            break;
        g_value_set_boolean(&out, number != 0);
        return true;
    case G_TYPE_INT:
        if (!whole || number < G_MININT || number > G_MAXINT)
            break;
        g_value_set_int(&out, int(number));
        return true;
    case G_TYPE_UINT:
        if (!whole || number < 0 || number > G_MAXUINT)
            break;
        g_value_set_uint(&out, guint(number));
        return true;
    case G_TYPE_LONG:
        if (!whole || number < double(G_MINLONG) || number > double(G_MAXLONG))
            break;
        g_value_set_long(&out, glong(number));
        return true;
    case G_TYPE_ULONG:
        if (!whole || number < 0 || number > double(G_MAXULONG))
            break;
        g_value_set_ulong(&out, gulong(number));
        return true;
    case G_TYPE_INT64:
        if (!whole)
            break;
        g_value_set_int64(&out, value.toLongLong());
        return true;
    case G_TYPE_UINT64:
        if (!whole || number < 0)
            break;
        g_value_set_uint64(&out, value.toULongLong());
        return true;
    case G_TYPE_FLOAT:
        if (!ok || !std::isfinite(number))
            break;
        g_value_set_float(&out, float(number));
        return true;
    case G_TYPE_DOUBLE:
        if (!ok || !std::isfinite(number))
            break;
        g_value_set_double(&out, number);
        return true;
    case G_TYPE_ENUM: {
        GEnumClass* enums = G_ENUM_CLASS(g_type_class_ref(type));
        const bool known = whole && g_enum_get_value(enums, int(number)) != nullptr;
        g_type_class_unref(enums);
        if (!known)
            break;
        g_value_set_enum(&out, int(number));
        return true;
    }
    case G_TYPE_STRING:
        if (value.typeId() != QMetaType::QString)
            break;
        g_value_set_string(&out, value.toString().toUtf8().constData());
        return true;
    default:
        break;
    }
    g_value_unset(&out);
    return false;
}

#include "platform/camera/gst/TGstPropertyPage.h"

namespace {
using TKind = TPropertyControl::TKind;

bool Shown(const GParamSpec* param)
{
    const GParamFlags flags = param->flags;
    if (!(flags & G_PARAM_READABLE) || !(flags & G_PARAM_WRITABLE) ||
        (flags & (G_PARAM_CONSTRUCT_ONLY | G_PARAM_DEPRECATED)))
        return false;
    // What every element has (its name, its parent) is not a setting of this one.
    if (param->owner_type == GST_TYPE_OBJECT || param->owner_type == GST_TYPE_ELEMENT ||
        param->owner_type == G_TYPE_OBJECT)
        return false;
    switch (G_TYPE_FUNDAMENTAL(param->value_type)) {
    case G_TYPE_BOOLEAN:
    case G_TYPE_INT:
    case G_TYPE_UINT:
    case G_TYPE_LONG:
    case G_TYPE_ULONG:
    case G_TYPE_INT64:
    case G_TYPE_UINT64:
    case G_TYPE_FLOAT:
    case G_TYPE_DOUBLE:
    case G_TYPE_ENUM:
    case G_TYPE_STRING:
        return true;
    default:
        return false;
    }
}

template <class TParam> void Range(TPropertyControl& c, const GParamSpec* param)
{
    const auto* s = reinterpret_cast<const TParam*>(param);
    c.minimum = double(s->minimum);
    c.maximum = double(s->maximum);
    c.defaultValue = double(s->default_value);
}

TPropertyControl Describe(GParamSpec* param)
{
    TPropertyControl c;
    c.key = QString::fromUtf8(param->name);
    c.name = QString::fromUtf8(g_param_spec_get_nick(param));
    c.kind = TKind::Integer;
    switch (G_TYPE_FUNDAMENTAL(param->value_type)) {
    case G_TYPE_BOOLEAN:
        c.kind = TKind::Boolean;
        c.maximum = 1;
        c.defaultValue = G_PARAM_SPEC_BOOLEAN(param)->default_value ? 1 : 0;
        break;
    case G_TYPE_INT:
        Range<GParamSpecInt>(c, param);
        break;
    case G_TYPE_UINT:
        Range<GParamSpecUInt>(c, param);
        break;
    case G_TYPE_LONG:
        Range<GParamSpecLong>(c, param);
        break;
    case G_TYPE_ULONG:
        Range<GParamSpecULong>(c, param);
        break;
    case G_TYPE_INT64:
        Range<GParamSpecInt64>(c, param);
        break;
    case G_TYPE_UINT64:
        Range<GParamSpecUInt64>(c, param);
        break;
    case G_TYPE_FLOAT:
        c.kind = TKind::Double;
        Range<GParamSpecFloat>(c, param);
        c.step = (c.maximum - c.minimum) / 200;
        break;
    case G_TYPE_DOUBLE:
        c.kind = TKind::Double;
        Range<GParamSpecDouble>(c, param);
        c.step = (c.maximum - c.minimum) / 200;
        break;
    case G_TYPE_ENUM: {
        c.kind = TKind::Menu;
        const GEnumClass* enums = G_PARAM_SPEC_ENUM(param)->enum_class;
        for (guint i = 0; i < enums->n_values; ++i)
            c.menu.emplace_back(enums->values[i].value,
                                QString::fromUtf8(enums->values[i].value_nick));
        c.defaultValue = G_PARAM_SPEC_ENUM(param)->default_value;
        break;
    }
    case G_TYPE_STRING:
        c.kind = TKind::Text;
        break;
    default:
        break;
    }
    // A range too wide to step through usefully keeps its number box.
    if (c.kind == TKind::Double && !(c.step > 0))
        c.step = 1;
    return c;
}
} // namespace

TGstPropertyPage::TGstPropertyPage(QString title, GType elementType,
                                   std::shared_ptr<TGstElementSettings> settings, QStringList only)
    : title_(std::move(title)), class_(g_type_class_ref(elementType)),
      settings_(std::move(settings)), only_(std::move(only))
{}

TGstPropertyPage::~TGstPropertyPage()
{
    if (class_)
        g_type_class_unref(class_);
}

std::shared_ptr<TGstPropertyPage>
TGstPropertyPage::ForFactory(QString title, GstElementFactory* factory,
                             std::shared_ptr<TGstElementSettings> settings, QStringList only)
{
    if (!factory)
        return nullptr;
    // The type exists only once its plugin is loaded.
    GstPluginFeature* loaded = gst_plugin_feature_load(GST_PLUGIN_FEATURE(factory));
    if (!loaded)
        return nullptr;
    const GType type = gst_element_factory_get_element_type(GST_ELEMENT_FACTORY(loaded));
    gst_object_unref(loaded);
    if (!type)
        return nullptr;
    return std::make_shared<TGstPropertyPage>(std::move(title), type, std::move(settings),
                                              std::move(only));
}

std::vector<GParamSpec*> TGstPropertyPage::Offered() const
{
    std::vector<GParamSpec*> offered;
    if (!class_)
        return offered;
    if (!only_.isEmpty()) {
        for (const QString& name : only_)
            if (GParamSpec* param =
                    g_object_class_find_property(G_OBJECT_CLASS(class_), name.toUtf8().constData());
                param && Shown(param))
                offered.push_back(param);
        return offered;
    }
    guint count = 0;
    GParamSpec** params = g_object_class_list_properties(G_OBJECT_CLASS(class_), &count);
    for (guint i = 0; i < count; ++i)
        if (Shown(params[i]))
            offered.push_back(params[i]);
    g_free(params);
    return offered;
}

GParamSpec* TGstPropertyPage::Find(const QString& key) const
{
    for (GParamSpec* param : Offered())
        if (key == QLatin1String(param->name))
            return param;
    return nullptr;
}

std::vector<TPropertyControl> TGstPropertyPage::Controls()
{
    std::vector<TPropertyControl> controls;
    for (GParamSpec* param : Offered())
        controls.push_back(Describe(param));
    return controls;
}

QVariant TGstPropertyPage::Value(const QString& key)
{
    GParamSpec* param = Find(key);
    return param ? settings_->Get(param) : QVariant();
}

bool TGstPropertyPage::SetValue(const QString& key, const QVariant& value)
{
    GParamSpec* param = Find(key);
    return param && settings_->Set(param, value);
}

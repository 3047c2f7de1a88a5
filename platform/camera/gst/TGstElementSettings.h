#pragma once

// The settings of one element of a running graph, kept across runs: the element exists only
// while the graph does, so values are stored here, put into each new element as it is made,
// and passed on at once to the live one.

#include <gst/gst.h>

#include <QByteArray>
#include <QHash>
#include <QVariant>

class TGstElementSettings
{
public:
    TGstElementSettings();
    ~TGstElementSettings();
    TGstElementSettings(const TGstElementSettings&) = delete;
    TGstElementSettings& operator=(const TGstElementSettings&) = delete;

    // The new element of this run takes every stored value; it is followed until it goes.
    void Attach(GstElement* element);
    // Stores the value and sets it on the live element; false when the property refuses it.
    bool Set(const GParamSpec* param, const QVariant& value);
    // The live element's value, else the stored one, else the property's default.
    QVariant Get(const GParamSpec* param) const;

    // A property value as the pages show it, and back.
    static QVariant FromGValue(const GValue& value);
    static bool ToGValue(const GParamSpec* param, const QVariant& value, GValue& out);

private:
    GstElement* Live() const; // a new reference, or null

    mutable GWeakRef element_;
    QHash<QByteArray, QVariant> values_;
};

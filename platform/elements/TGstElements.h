#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <span>

// What an element is needed for. The program checks, at start-up, the elements of the uses it
// is about to have; the tests' own elements are listed so that installing is checked for them
// as well.
enum TElementUse : unsigned
{
    UseCamera = 1u << 0,       // any camera: preview, grabbing, format conversion
    UseTestCamera = 1u << 1,   // the moving "Test Pattern" camera
    UseDVCamera = 1u << 2,     // reading a DV camcorder
    UseTestDVCamera = 1u << 3, // making the "Test Pattern DV" stream
    UseScreen = 1u << 4,       // the screen as a camera (X11, or Wayland's screen-cast portal)
    UseVoice = 1u << 5,        // the voice terminal, both directions
    UseRingTone = 1u << 6,     // playing the ring tone
    UseTests = 1u << 7,        // tests and benchmarks only
};

struct TGstElement
{
    const char* name;    // the element factory's name
    const char* package; // the Debian package that ships its plugin
    unsigned uses;       // TElementUse bits
};

// Every GStreamer element the program and its tests create, by name.
std::span<const TGstElement> GstElements();

// The listed element of that name, or nullptr.
const TGstElement* FindGstElement(const QString& name);

// The elements needed for any of the uses.
QList<TGstElement> GstElementsFor(unsigned uses);

// "timeoverlay (Debian package gstreamer1.0-x)", or the bare name for an unlisted element.
QString DescribeGstElement(const QString& name);

// The text that tells the user which elements are missing and how to install them.
QString MissingGstElementsMessage(const QList<TGstElement>& missing);

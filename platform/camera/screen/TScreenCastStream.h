#pragma once

#include <QDBusUnixFileDescriptor>
#include <QSize>
#include <QtGlobal>

// What the screen-cast portal hands over once the user picked a monitor or a window.
struct TScreenCastStream
{
    // The PipeWire connection the portal opened for this program; closed with the last copy.
    QDBusUnixFileDescriptor remote;
    quint32 node = 0; // the stream's PipeWire node on that connection
    QSize size;       // as the portal states it (compositor units); empty when it says none
};

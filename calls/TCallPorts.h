#pragma once

#include <QtGlobal>

// The ports the program talks on; tests run several phones in one process.
struct TCallPorts
{
    quint16 signallingListen = 6767;
    quint16 signallingPeer = 6767;
    quint16 voice = 8500;
    quint16 videoListen = 8800;
    quint16 videoPeer = 8800;
};

#include "calls/TCallCounters.h"

void TCallCounters::FrameSent(TTime now, qint64 bytes)
{
    sent_.Add(now, bytes);
}

void TCallCounters::DatagramReceived(TTime now, qint64 bytes)
{
    received_.Add(now, bytes);
}

void TCallCounters::FrameShown(TTime now)
{
    shown_.Add(now);
}

TVideoRates TCallCounters::Rates(TTime now)
{
    // The window is one second long, so counts over it are the rates per second.
    TVideoRates r;
    r.framesSent = sent_.Count(now);
    r.bytesSent = sent_.Amount(now);
    r.bytesReceived = received_.Amount(now);
    r.framesShown = shown_.Count(now);
    return r;
}

void TCallCounters::Clear()
{
    sent_.Clear();
    received_.Clear();
    shown_.Clear();
}

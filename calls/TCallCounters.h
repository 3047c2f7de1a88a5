#pragma once

#include "calls/TRateWindow.h"

// The video figures of a call, per second over the last second: frames sent and their bytes,
// bytes received, frames shown. The window counts as it goes; times come from the caller.
struct TVideoRates
{
    qint64 framesSent = 0;
    qint64 framesShown = 0;
    qint64 bytesSent = 0;
    qint64 bytesReceived = 0;
};

class TCallCounters
{
public:
    using TTime = TRateWindow::TTime;

    void FrameSent(TTime now, qint64 bytes);
    void DatagramReceived(TTime now, qint64 bytes);
    void FrameShown(TTime now);
    TVideoRates Rates(TTime now);
    // A new call starts from nothing.
    void Clear();

private:
    TRateWindow sent_;
    TRateWindow received_;
    TRateWindow shown_;
};

#include "platform/capturegraph/fake/TFakeSampleGrabber.h"

#include "platform/capturegraph/fake/TFakeJournal.h"

HRESULT TFakeSampleGrabber::SetMediaType(const TMediaType& type)
{
    const HRESULT hr = journal_.Call("SetMediaType");
    if (Hr::Succeeded(hr))
        Requested = type;
    return hr;
}

HRESULT TFakeSampleGrabber::SetBufferSamples(bool buffer)
{
    BufferSamples = buffer;
    return journal_.Call("SetBufferSamples", {buffer ? "true" : "false"});
}

HRESULT TFakeSampleGrabber::SetOneShot(bool oneShot)
{
    OneShot = oneShot;
    return journal_.Call("SetOneShot", {oneShot ? "true" : "false"});
}

HRESULT TFakeSampleGrabber::SetCallback(ISampleGrabberCB* callback, int which)
{
    const HRESULT hr = journal_.Call("SetCallback", {QString::number(which)});
    if (Hr::Succeeded(hr)) {
        callback_.store(callback);
        Which = which;
    }
    return hr;
}

HRESULT TFakeSampleGrabber::GetConnectedMediaType(TMediaType& type)
{
    // Not journaled: it runs once per grabbed frame.
    const HRESULT hr = journal_.Lookup("GetConnectedMediaType");
    if (Hr::Succeeded(hr))
        type = Connected;
    return hr;
}

HRESULT TFakeSampleGrabber::Deliver(const QByteArray& sample, double sampleTime)
{
    ISampleGrabberCB* callback = callback_.load();
    if (!callback)
        return Hr::E_FAIL;
    return callback->BufferCB(sampleTime, reinterpret_cast<const quint8*>(sample.constData()),
                              qint32(sample.size()));
}

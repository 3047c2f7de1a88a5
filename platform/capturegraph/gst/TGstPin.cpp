#include "platform/capturegraph/gst/TGstPin.h"

#include "platform/capturegraph/gst/GstCodes.h"
#include "platform/capturegraph/gst/TGstFilter.h"

TGstPin::TGstPin(const std::shared_ptr<TGstFilter>& filter, TPinDirection direction,
                 bool streamControl)
    : filter_(filter), direction_(direction), streamControl_(streamControl)
{}

HRESULT TGstPin::ConnectedTo(PinPtr& peer)
{
    peer = peer_.lock();
    return peer ? Hr::S_OK : GstHr::VFW_E_NOT_CONNECTED;
}

HRESULT TGstPin::Disconnect()
{
    const auto owner = filter_.lock();
    if (owner && owner->Running())
        return GstHr::VFW_E_NOT_STOPPED;
    // Like its namesake, this only releases this end; the caller disconnects the peer too.
    if (peer_.expired())
        return Hr::S_FALSE;
    peer_.reset();
    return Hr::S_OK;
}

FilterPtr TGstPin::Filter()
{
    return filter_.lock();
}

std::shared_ptr<IAMStreamControl> TGstPin::StreamControl()
{
    if (!streamControl_)
        return nullptr;
    return std::static_pointer_cast<IAMStreamControl>(shared_from_this());
}

void TGstPin::Connect(const std::shared_ptr<TGstPin>& out, const std::shared_ptr<TGstPin>& in,
                      const TGuid& major)
{
    out->peer_ = in;
    in->peer_ = out;
    out->major_ = major;
    in->major_ = major;
}

HRESULT TGstPin::StartNow()
{
    open_ = true;
    if (valve_)
        g_object_set(valve_, "drop", FALSE, nullptr);
    return Hr::S_OK;
}

HRESULT TGstPin::StopNow(bool)
{
    open_ = false;
    if (valve_)
        g_object_set(valve_, "drop", TRUE, nullptr);
    return Hr::S_OK;
}

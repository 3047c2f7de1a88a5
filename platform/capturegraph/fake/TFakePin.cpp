#include "platform/capturegraph/fake/TFakePin.h"

#include "platform/capturegraph/fake/TFakeFilter.h"
#include "platform/capturegraph/fake/TFakeJournal.h"
#include "platform/capturegraph/fake/TFakeStreamControl.h"

namespace {
constexpr HRESULT VFW_E_NOT_CONNECTED = qint32(0x80040209u);
}

TFakePin::TFakePin(TFakeJournal& journal, TFakeFilter* owner, TPinDirection direction)
    : journal_(journal), owner_(owner), direction_(direction),
      control_(std::make_shared<TFakeStreamControl>(journal, owner->Label()))
{}

HRESULT TFakePin::ConnectedTo(PinPtr& peer)
{
    peer = peer_.lock();
    return peer ? Hr::S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT TFakePin::Disconnect()
{
    const HRESULT hr = journal_.Call("Disconnect", {owner_->Name()});
    if (Hr::Succeeded(hr))
        peer_.reset();
    return hr;
}

FilterPtr TFakePin::Filter()
{
    return owner_->shared_from_this();
}

std::shared_ptr<IAMStreamControl> TFakePin::StreamControl()
{
    return control_;
}

void TFakePin::Connect(const std::shared_ptr<TFakePin>& out, const std::shared_ptr<TFakePin>& in)
{
    out->peer_ = in;
    in->peer_ = out;
}

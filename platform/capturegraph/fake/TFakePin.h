#pragma once

#include "platform/capturegraph/CaptureInterfaces.h"

class TFakeJournal;
class TFakeFilter;
class TFakeStreamControl;

// A pin of a fake filter; connections are kept on both ends so that walking downstream and
// disconnecting behave as in a real graph.
class TFakePin : public IPin, public std::enable_shared_from_this<TFakePin>
{
public:
    TFakePin(TFakeJournal& journal, TFakeFilter* owner, TPinDirection direction);

    TPinDirection Direction() override { return direction_; }
    HRESULT ConnectedTo(PinPtr& peer) override;
    HRESULT Disconnect() override;
    FilterPtr Filter() override;
    std::shared_ptr<IAMStreamControl> StreamControl() override;

    std::shared_ptr<TFakePin> Peer() const { return peer_.lock(); }
    static void Connect(const std::shared_ptr<TFakePin>& out, const std::shared_ptr<TFakePin>& in);
    std::shared_ptr<TFakeStreamControl> Control() const { return control_; }

private:
    TFakeJournal& journal_;
    TFakeFilter* owner_; // the filter owns its pins
    TPinDirection direction_;
    std::weak_ptr<TFakePin> peer_;
    std::shared_ptr<TFakeStreamControl> control_;
};

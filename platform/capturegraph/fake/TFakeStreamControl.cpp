#include "platform/capturegraph/fake/TFakeStreamControl.h"

#include "platform/capturegraph/fake/TFakeJournal.h"

TFakeStreamControl::TFakeStreamControl(TFakeJournal& journal, QString owner)
    : journal_(journal), owner_(std::move(owner))
{}

HRESULT TFakeStreamControl::StartNow()
{
    const HRESULT hr = journal_.Call("StartNow", {owner_});
    if (Hr::Succeeded(hr))
        Started = true;
    return hr;
}

HRESULT TFakeStreamControl::StopNow(bool sendExtraSample)
{
    const HRESULT hr = journal_.Call("StopNow", {owner_ + (sendExtraSample ? ":extra" : "")});
    if (Hr::Succeeded(hr))
        Started = false;
    return hr;
}

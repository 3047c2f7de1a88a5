#include "platform/capturegraph/fake/TFakeGraph.h"

#include "platform/capturegraph/fake/TFakeFilter.h"
#include "platform/capturegraph/fake/TFakeJournal.h"
#include "platform/capturegraph/fake/TFakeVideoWindow.h"

#include <QCoreApplication>
#include <algorithm>

HRESULT TFakeGraph::AddFilter(const FilterPtr& filter, const QString& name)
{
    auto fake = std::dynamic_pointer_cast<TFakeFilter>(filter);
    const QString label = fake ? fake->Label() : QString();
    const QString kind = fake ? fake->Kind() : QString();
    const HRESULT hr = journal_.Call("AddFilter", {name.isEmpty() ? label : name, kind});
    if (Hr::Failed(hr))
        return hr;
    if (!fake || Contains(filter))
        return Hr::E_INVALIDARG;
    fake->SetName(name);
    filters_.push_back(fake);
    return hr;
}

HRESULT TFakeGraph::FindFilterByName(const QString& name, FilterPtr& filter)
{
    filter.reset();
    if (auto found = Find(name)) {
        filter = found;
        return Hr::S_OK;
    }
    return Hr::VFW_E_NOT_FOUND;
}

HRESULT TFakeGraph::RemoveFilter(const FilterPtr& filter)
{
    const HRESULT hr = journal_.Call("RemoveFilter", {filter ? filter->Name() : QString()});
    if (Hr::Failed(hr))
        return hr;
    const auto it = std::find(filters_.begin(), filters_.end(), filter);
    if (it == filters_.end())
        return Hr::VFW_E_NOT_FOUND;
    filters_.erase(it);
    return hr;
}

HRESULT TFakeGraph::Run()
{
    const HRESULT hr = journal_.Call("Run");
    if (Hr::Succeeded(hr))
        running_ = true;
    return hr;
}

HRESULT TFakeGraph::Stop()
{
    const HRESULT hr = journal_.Call("Stop");
    if (Hr::Succeeded(hr))
        running_ = false;
    return hr;
}

HRESULT TFakeGraph::GetEvent(qint32& code, qint64& param1, qint64& param2, int)
{
    if (events_.empty())
        return Hr::E_FAIL;
    const TEvent e = events_.front();
    events_.pop_front();
    code = e.Code;
    param1 = e.Param1;
    param2 = e.Param2;
    journal_.Call("GetEvent", {QString::number(code)});
    return Hr::S_OK;
}

HRESULT TFakeGraph::FreeEventParams(qint32 code, qint64, qint64)
{
    return journal_.Call("FreeEventParams", {QString::number(code)});
}

HRESULT TFakeGraph::SetNotify(std::function<void()> notify)
{
    const HRESULT hr = journal_.Call("SetNotify", {notify ? "set" : "cleared"});
    if (Hr::Succeeded(hr))
        notify_ = std::move(notify);
    return hr;
}

HRESULT TFakeGraph::QueryVideoWindow(std::shared_ptr<IVideoWindow>& window)
{
    window.reset();
    const HRESULT hr = journal_.Call("QueryVideoWindow");
    if (Hr::Failed(hr))
        return hr;
    const bool renderer = std::any_of(filters_.begin(), filters_.end(),
                                      [](const auto& f) { return f->Kind() == "VideoRenderer"; });
    if (!renderer)
        return Hr::E_NOINTERFACE;
    if (!window_)
        window_ = std::make_shared<TFakeVideoWindow>(journal_);
    window = window_;
    return Hr::S_OK;
}

void TFakeGraph::Adopt(const std::shared_ptr<TFakeFilter>& filter, const QString& name)
{
    filter->SetName(name);
    filters_.push_back(filter);
}

void TFakeGraph::QueueEvent(qint32 code, qint64 param1, qint64 param2)
{
    events_.push_back({code, param1, param2});
    if (notify_)
        QMetaObject::invokeMethod(QCoreApplication::instance(), notify_, Qt::QueuedConnection);
}

bool TFakeGraph::Contains(const FilterPtr& filter) const
{
    return std::find(filters_.begin(), filters_.end(), filter) != filters_.end();
}

QStringList TFakeGraph::FilterNames() const
{
    QStringList names;
    for (const auto& f : filters_)
        names << f->Name();
    return names;
}

std::shared_ptr<TFakeFilter> TFakeGraph::Find(const QString& name) const
{
    for (const auto& f : filters_)
        if (f->Name() == name)
            return f;
    return nullptr;
}

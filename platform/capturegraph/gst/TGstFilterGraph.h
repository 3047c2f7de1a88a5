#pragma once

// The filter graph: the model of filters and connections, and while running the GStreamer
// pipeline built from it. Create, use and destroy it on the UI thread.

#include "platform/capturegraph/CaptureInterfaces.h"

class TGstFilter;
class TGstVideoWindow;

class TGstFilterGraph : public IFilterGraph
{
public:
    TGstFilterGraph();
    ~TGstFilterGraph() override;

    HRESULT AddFilter(const FilterPtr& filter, const QString& name) override;
    HRESULT FindFilterByName(const QString& name, FilterPtr& filter) override;
    HRESULT RemoveFilter(const FilterPtr& filter) override;
    HRESULT Run() override;
    HRESULT Stop() override;
    HRESULT GetEvent(qint32& code, qint64& param1, qint64& param2, int timeoutMs) override;
    HRESULT FreeEventParams(qint32 code, qint64 param1, qint64 param2) override;
    HRESULT SetNotify(std::function<void()> notify) override;
    HRESULT QueryVideoWindow(std::shared_ptr<IVideoWindow>& window) override;

    // Our own filter when it is in this graph; null otherwise.
    std::shared_ptr<TGstFilter> Member(const FilterPtr& filter) const;
    bool Running() const;
    std::shared_ptr<TGstVideoWindow> VideoWindow() const;
    // Any thread: queues a graph event and tells the owner on the UI thread.
    void PostEvent(qint32 code, qint64 param1, qint64 param2);

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};

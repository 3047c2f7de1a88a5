#pragma once

#include "platform/capturegraph/CaptureInterfaces.h"

#include <deque>

class TFakeJournal;
class TFakeFilter;
class TFakeVideoWindow;

// A filter graph: its filters by name, running state, pending events and the video window
// (offered only while a video renderer is in the graph).
class TFakeGraph : public IFilterGraph
{
public:
    explicit TFakeGraph(TFakeJournal& journal) : journal_(journal) {}

    HRESULT AddFilter(const FilterPtr& filter, const QString& name) override;
    HRESULT FindFilterByName(const QString& name, FilterPtr& filter) override;
    HRESULT RemoveFilter(const FilterPtr& filter) override;
    HRESULT Run() override;
    HRESULT Stop() override;
    HRESULT GetEvent(qint32& code, qint64& param1, qint64& param2, int timeoutMs) override;
    HRESULT FreeEventParams(qint32 code, qint64 param1, qint64 param2) override;
    HRESULT SetNotify(std::function<void()> notify) override;
    HRESULT QueryVideoWindow(std::shared_ptr<IVideoWindow>& window) override;

    // Puts a filter in the graph without recording it (filters the builder brings in itself).
    void Adopt(const std::shared_ptr<TFakeFilter>& filter, const QString& name);
    // Queues an event and has the notify callback called from the event loop.
    void QueueEvent(qint32 code, qint64 param1 = 0, qint64 param2 = 0);

    bool Contains(const FilterPtr& filter) const;
    QStringList FilterNames() const;
    std::shared_ptr<TFakeFilter> Find(const QString& name) const;
    std::shared_ptr<TFakeVideoWindow> Window() const { return window_; }
    bool Running() const { return running_; }
    bool HasNotify() const { return bool(notify_); }

private:
    struct TEvent
    {
        qint32 Code;
        qint64 Param1;
        qint64 Param2;
    };

    TFakeJournal& journal_;
    std::vector<std::shared_ptr<TFakeFilter>> filters_;
    std::deque<TEvent> events_;
    std::function<void()> notify_;
    std::shared_ptr<TFakeVideoWindow> window_;
    bool running_ = false;
};

#pragma once

#include "platform/capturegraph/CaptureInterfaces.h"

class TFakeJournal;
class TFakeGraph;
class TFakeFilter;
class TFakeFileSink;

// The capture graph builder: connects filters pin to pin, brings in default renderers, the
// multiplexer and the file writer, and finds the interfaces of device pins.
class TFakeBuilder : public ICaptureGraphBuilder2
{
public:
    explicit TFakeBuilder(TFakeJournal& journal) : journal_(journal) {}

    HRESULT SetFiltergraph(const GraphPtr& graph) override;
    HRESULT FindStreamConfig(TPinCategory category, const TGuid* majortype, const FilterPtr& filter,
                             std::shared_ptr<IAMStreamConfig>& config) override;
    HRESULT FindVfwCaptureDialogs(const FilterPtr& filter,
                                  std::shared_ptr<IAMVfwCaptureDialogs>& dialogs) override;
    HRESULT FindVfwCompressDialogs(const FilterPtr& filter,
                                   std::shared_ptr<IAMVfwCompressDialogs>& dialogs) override;
    HRESULT RenderStream(TPinCategory category, const TGuid* majortype, const FilterPtr& source,
                         const FilterPtr& intermediate, const FilterPtr& sink) override;
    HRESULT SetOutputFileName(const TGuid& subtype, const QString& fileName, FilterPtr& multiplexer,
                              std::shared_ptr<IFileSinkFilter>& writer) override;
    HRESULT AllocCapFile(const QString& fileName, qint64 bytes) override;
    HRESULT FindPin(const FilterPtr& filter, TPinDirection direction, int index,
                    PinPtr& pin) override;

    std::shared_ptr<TFakeGraph> Graph() const { return graph_; }
    std::shared_ptr<TFakeFileSink> Writer() const { return writer_; }

private:
    // The format arriving at a grabber fed from source.
    TMediaType GrabbedType(const std::shared_ptr<TFakeFilter>& source,
                           const std::optional<TMediaType>& requested) const;

    TFakeJournal& journal_;
    std::shared_ptr<TFakeGraph> graph_;
    std::shared_ptr<TFakeFileSink> writer_;
};

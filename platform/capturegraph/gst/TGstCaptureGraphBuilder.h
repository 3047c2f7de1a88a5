#pragma once

// Connects filters of a TGstFilterGraph the way the capture component asks: stream renders,
// default renderers, the AVI writer and stream config lookups.

#include "platform/capturegraph/CaptureInterfaces.h"

class TGstFilter;
class TGstFilterGraph;
class TGstPin;

class TGstCaptureGraphBuilder : public ICaptureGraphBuilder2
{
public:
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

private:
    HRESULT ConnectTo(const std::shared_ptr<TGstPin>& out, const std::shared_ptr<TGstFilter>& to,
                      const TGuid& major, std::shared_ptr<TGstPin>& in);
    std::shared_ptr<TGstFilter> DefaultRenderer(const TGuid& major);

    std::shared_ptr<TGstFilterGraph> graph_;
};

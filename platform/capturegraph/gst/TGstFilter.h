#pragma once

// A filter of the graph model: what it is, its pins and the interfaces it offers. The
// GStreamer elements behind it exist only while the graph runs (see TGstPipelineBuilder).

#include "platform/capturegraph/CaptureInterfaces.h"
#include "platform/capturegraph/gst/GstRef.h"

#include <QByteArray>

class TGstPin;
class TGstStreamConfig;
class TGstSampleGrabber;
class TGstMuxControl;
class TGstDVDecoderControl;
class TGstElementSettings;

enum class TGstFilterKind
{
    VideoSource,
    AudioSource,
    Tee,
    SampleGrabber,
    VideoRenderer,
    AudioRenderer,
    VideoEncoder,
    AudioEncoder,
    AviMux,
    DVSplitter, // DV system stream in; DV video (output 0) and PCM audio (output 1) out
    DVDecoder,  // DV video or a whole DV system stream in; raw video out
};

// The sources --test-camera adds: a moving pattern, and the same as a DV camera sends it.
enum class TGstTestSource
{
    None,
    Pattern,
    DVPattern,
};

class TGstFilter : public IBaseFilter, public std::enable_shared_from_this<TGstFilter>
{
public:
    static std::shared_ptr<TGstFilter> Create(TGstFilterKind kind);
    // A capture device: its GstDevice (none for a test source) and the caps it offers.
    static std::shared_ptr<TGstFilter> CreateSource(TGstFilterKind kind, GstDevice* device,
                                                    const GstCaps* caps,
                                                    TGstTestSource test = TGstTestSource::None);
    static std::shared_ptr<TGstFilter> CreateEncoder(TGstFilterKind kind,
                                                     GstElementFactory* factory);
    ~TGstFilter() override;

    QString Name() override { return name_; }
    std::vector<PinPtr> Pins() override;
    std::shared_ptr<ISampleGrabber> SampleGrabber() override;
    std::shared_ptr<IIPDVDec> DVDecoder() override;
    std::shared_ptr<IConfigAviMux> ConfigAviMux() override;
    bool HasPropertyPages() override { return !PropertyPages().empty(); }
    // A source's controls (the test camera's picture balance, a sound source's volume), an
    // encoder's properties.
    std::vector<PropertyPagePtr> PropertyPages() override;
    std::vector<PropertyPagePtr> TunerPages() override;
    // The settings the pages change, put into the element each run makes.
    std::shared_ptr<TGstElementSettings> Settings() const { return settings_; }
    // The device's settings outlive each filter made from it.
    void SetSettings(std::shared_ptr<TGstElementSettings> settings)
    {
        settings_ = std::move(settings);
    }

    TGstFilterKind Kind() const { return kind_; }
    void SetName(const QString& name) { name_ = name; }
    // The major type its first output carries; null for a tee not yet fed.
    TGuid OutputMajor() const;
    // The major type an output carries (the DV splitter's two differ).
    TGuid OutputMajor(size_t output) const;

    const std::vector<std::shared_ptr<TGstPin>>& Inputs() const { return inputs_; }
    const std::vector<std::shared_ptr<TGstPin>>& Outputs() const { return outputs_; }
    // An unconnected pin for a new connection, added when the filter grows pins; null if none.
    std::shared_ptr<TGstPin> FreeInput();
    std::shared_ptr<TGstPin> FreeOutput();
    // An unconnected output that carries the major type; null if none.
    std::shared_ptr<TGstPin> FreeOutputFor(const TGuid& major);
    int IndexOf(const TGstPin* pin) const;

    bool Running() const { return running_; }
    void SetRunning(bool running);

    GstDevice* Device() const { return device_.get(); }
    bool IsTestCamera() const { return test_ != TGstTestSource::None; }
    TGstTestSource TestSource() const { return test_; }
    GstElementFactory* Factory() const { return factory_.get(); }
    std::shared_ptr<TGstStreamConfig> StreamConfig() const { return config_; }
    std::shared_ptr<TGstSampleGrabber> Grabber() const { return grabber_; }
    std::shared_ptr<TGstMuxControl> Mux() const { return mux_; }
    std::shared_ptr<TGstDVDecoderControl> DVControl() const { return dv_; }

private:
    explicit TGstFilter(TGstFilterKind kind);
    void AddPin(TPinDirection direction, bool streamControl);

    TGstFilterKind kind_;
    QString name_;
    std::vector<std::shared_ptr<TGstPin>> inputs_;
    std::vector<std::shared_ptr<TGstPin>> outputs_;
    bool running_ = false;
    TGstObjectPtr<GstDevice> device_;
    TGstObjectPtr<GstElementFactory> factory_;
    std::shared_ptr<TGstStreamConfig> config_;
    std::shared_ptr<TGstDVDecoderControl> dv_;
    TGstTestSource test_ = TGstTestSource::None;
    std::shared_ptr<TGstSampleGrabber> grabber_;
    std::shared_ptr<TGstMuxControl> mux_;
    std::shared_ptr<TGstElementSettings> settings_;
};

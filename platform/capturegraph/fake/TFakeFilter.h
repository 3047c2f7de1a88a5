#pragma once

#include "platform/capturegraph/CaptureInterfaces.h"

class TFakeJournal;
class TFakeDevice;
class TFakePin;
class TFakeSampleGrabber;
class TFakeDVDecoder;
class TFakeAviMux;

// A filter of the fake system. Kind says what it stands for: "video", "audio", "vcomp",
// "acomp" for devices, else the class ("SmartTee", "InfTee", "DVVideoCodec", "DVSplitter",
// "SampleGrabber", "AviMux", "FileWriter", "VideoRenderer", "AudioRenderer"). Pins are made
// on demand when a stream is rendered, as many as the graph needs.
class TFakeFilter : public IBaseFilter, public std::enable_shared_from_this<TFakeFilter>
{
public:
    TFakeFilter(TFakeJournal& journal, QString kind, QString label,
                std::shared_ptr<TFakeDevice> device = nullptr);
    ~TFakeFilter() override;

    QString Name() override { return name_.isEmpty() ? label_ : name_; }
    std::vector<PinPtr> Pins() override;
    std::shared_ptr<ISampleGrabber> SampleGrabber() override;
    std::shared_ptr<IIPDVDec> DVDecoder() override;
    std::shared_ptr<IConfigAviMux> ConfigAviMux() override;
    bool HasPropertyPages() override;

    const QString& Kind() const { return kind_; }
    const QString& Label() const { return label_; }
    void SetName(const QString& name) { name_ = name; }
    const std::shared_ptr<TFakeDevice>& Device() const { return device_; }
    std::shared_ptr<TFakeSampleGrabber> Grabber() const { return grabber_; }
    std::shared_ptr<TFakeDVDecoder> Decoder() const { return decoder_; }
    std::shared_ptr<TFakeAviMux> Mux() const { return mux_; }

    // A free pin of the direction, made when every existing one is connected.
    std::shared_ptr<TFakePin> FreePin(TPinDirection direction);
    std::vector<std::shared_ptr<TFakePin>> FakePins() const { return pins_; }

private:
    TFakeJournal& journal_;
    QString kind_;
    QString label_;
    QString name_;
    std::shared_ptr<TFakeDevice> device_;
    std::vector<std::shared_ptr<TFakePin>> pins_;
    std::shared_ptr<TFakeSampleGrabber> grabber_;
    std::shared_ptr<TFakeDVDecoder> decoder_;
    std::shared_ptr<TFakeAviMux> mux_;
};

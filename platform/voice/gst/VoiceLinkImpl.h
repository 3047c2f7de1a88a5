#pragma once

// The GStreamer voice link's inside: the two pipelines, the stream's numbers and the shared
// state their streaming threads use.
#include "platform/voice/aec/EchoReference.h"
#include "platform/voice/aec/VoiceProcessor.h"
#include "platform/voice/gst/DeviceWatch.h"
#include "platform/voice/gst/GstHelpers.h"
#include "platform/voice/gst/PeerAddress.h"
#include "platform/voice/gst/RtcpSession.h"
#include "platform/voice/gst/RtpPeerFilter.h"
#include "platform/voice/gst/RtpReceiveStats.h"
#include "platform/voice/gst/SrtpContext.h"
#include "platform/voice/gst/TGstVoiceLink.h"
#include "platform/voice/gst/VoiceTiming.h"
#include "platform/voice/pulse/PlayoutQueue.h"
#include "platform/voice/streams/DeviceStreams.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>

#include <QHostAddress>
#include <QObject>
#include <QRandomGenerator>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

class QTimer;

namespace voicelink {

// A running pipeline and the elements the UI thread still adjusts or watches.
struct VoicePipeline
{
    VoicePipeline(TVoiceDevice device, int run, const char* name, const DeviceFailureSlot& slot)
        : name(name), watch(device, run, name, slot), run(run)
    {}
    ~VoicePipeline();

    const char* name;
    DeviceWatch watch; // before the pipeline: it hears the pipeline's last messages
    int run;
    QString deviceName; // the sound server's device opened, "" the default
    ElementPtr pipeline;
    ElementPtr volume;
    ElementPtr udp;
    ElementPtr payloader; // transmit only
    ElementPtr jitter;    // receive only
    // Receive on the sound server's own stream: the decoded voice waits in the queue, and the
    // stream (gone first) takes from it.
    std::unique_ptr<PlayoutQueue> playoutQueue;
    std::unique_ptr<PlayoutStream> playout;
    QString playoutDevice;
    QString captureDevice;
    // Transmit from the sound server's own record stream into the pipeline's appsrc.
    std::unique_ptr<CaptureStream> capture;
    ElementPtr captureSource;
};

} // namespace voicelink

struct TGstVoiceLink::Impl
{
    using VoicePipeline = voicelink::VoicePipeline;

    Options options;
    // The UI thread's timers and the RTCP session hang off this.
    QObject context;
    QTimer* adapt = nullptr;

    TVoiceProcessing processing{false, false}; // what the running call asked for
    bool running = false;
    int localPort = 0;
    QString wantedMicrophone;
    QString wantedSpeaker;
    std::atomic<int> speakerLevel{100};
    std::atomic<int> micLevel{100};
    std::atomic<quint64> sent{0};
    std::atomic<quint64> received{0};
    std::atomic<quint64> octets{0};
    int runs = 0; // numbers each pipeline built, so late failures of old ones are known
    int transmitRestarts = 0;
    int receiveRestarts = 0;

    // The stream's numbers and what the reports say of it.
    const quint32 ssrc = QRandomGenerator::global()->generate();
    const quint32 timestampOffset = QRandomGenerator::global()->generate();
    std::chrono::steady_clock::time_point transmitStart;
    bool transmitStarted = false;
    quint16 nextSequence = 0; // continues the numbering when the microphone is opened again
    voicelink::RtpReceiveStats receiveStats{voicelink::kRateHz};
    std::unique_ptr<voicelink::RtcpSession> rtcp;
    quint16 rtcpLocal = 0;
    QHostAddress rtcpPeer;
    quint16 rtcpPeerPort = 0;

    // Who hears of device trouble (UI thread), and the pipelines' way to it.
    DeviceNoticeHandler noticeHandler;
    voicelink::DeviceFailureSlot failureSlot = std::make_shared<voicelink::DeviceFailure>();

    // Where to send; the receive filter keeps its own copy of the host.
    mutable std::mutex peerMutex;
    std::optional<voicelink::PeerAddress> peer;

    // What the speaker plays, for the canceller of the microphone; both outlive the pipelines
    // whose streaming threads use them (declared first, destroyed last).
    voicelink::EchoReference echoReference;
    std::unique_ptr<voicelink::VoiceProcessor> processor; // while transmitting with processing
    bool referencePlaying = false; // the receive pipeline feeds echoReference
    TVoiceProcessing active{false, false};

    // Admits on udpsrc's streaming thread; restarted before a call's receiving starts.
    voicelink::RtpPeerFilter filter{voicelink::kPayloadType, voicelink::kRateHz};
    int jitterBufferMs = 0;
    int lowerTargetFor = 0; // seconds the jitter has asked for less
    int raiseTargetFor = 0; // seconds the jitter has asked for more
    int trimsLogged = 0;

    // An encrypted call's voice, for the call: the pipelines come and go, the packet index
    // goes on.
    std::shared_ptr<voicelink::SrtpContext> srtpOut;
    std::shared_ptr<voicelink::SrtpContext> srtpIn;

    std::unique_ptr<VoicePipeline> transmit;
    std::unique_ptr<VoicePipeline> receive;

    Impl();
    ~Impl();

    static bool ensureGst();

    // Each direction is built, and started, on its own; false when it could not start.
    // why: what the device said when it failed.
    bool startTransmit(const QString& device, QString& why);
    bool startReceive(const QString& device, QString& why);
    // The direction again on another device, the call going on; a chosen device that cannot
    // be opened gives way to the default, and the handler is told.
    void restart(TVoiceDevice which, const QString& device);
    // Tells the handler when nothing could be opened.
    bool startDirection(TVoiceDevice which, const QString& device);
    void deviceFailed(TVoiceDevice which, int run, const QString& detail);
    void notice(TVoiceDevice which, bool fellBack, const QString& detail);

    std::unique_ptr<VoicePipeline> buildTransmit(const voicelink::PeerAddress& to,
                                                 const QString& device);
    std::unique_ptr<VoicePipeline> buildReceive(const QString& device);
    std::unique_ptr<VoicePipeline> newPipeline(const char* name, TVoiceDevice device);
    // The microphone and what brings it to the codec's format.
    GstElement* buildSource(VoicePipeline& p, const QString& device);
    GstElement* buildSink(VoicePipeline& p, const QString& device);
    bool buildOutput(VoicePipeline& p, GstElement* volume, const QString& device);
    void startProcessing();
    static bool play(VoicePipeline& p);

    voicelink::RtcpSession::SenderCounts senderCounts() const;
    void updateRtcp();
    // Sets the jitter buffer after the jitter measured lately (every second while receiving).
    void adaptJitterBuffer();
    void setJitterBuffer(int ms);
    double estimatedDelayMs(double roundTripMs) const;

    // Streaming threads.
    static GstPadProbeReturn countSent(GstPad*, GstPadProbeInfo* info, gpointer self);
    static GstPadProbeReturn filterReceived(GstPad*, GstPadProbeInfo* info, gpointer self);
    bool accept(GstPadProbeInfo* info);
    static GstFlowReturn onPlayedSample(GstAppSink* sink, gpointer self);
    static GstFlowReturn onDecoded(GstAppSink* sink, gpointer queue);
    static GstPadProbeReturn referenceProbe(GstPad*, GstPadProbeInfo* info, gpointer reference);
    static GstPadProbeReturn processMicrophone(GstPad*, GstPadProbeInfo* info, gpointer processor);
};

#pragma once

#include "calls/IDatagramSender.h"
#include "calls/TCallCounters.h"
#include "calls/TCallPorts.h"
#include "calls/TFrameDecoder.h"
#include "calls/TScreenFit.h"
#include "calls/TVideoSource.h"
#include "platform/camera/TCameraFrame.h"
#include "platform/jpeg/TJpegEncoder.h"
#include "platform/logging/TLogThrottle.h"

#include <QHostAddress>
#include <QImage>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class TUdpListener;
class TVideoOpener;
class TVideoSealer;

// The call's video: every grabbed frame goes to the peer as one JPEG picture in one datagram,
// and the peer's datagrams are decoded off the UI thread and shown. Only the peer's datagrams
// are looked at while a call is up; between calls none is shown.
class TVideoLink : public QObject
{
    Q_OBJECT
public:
    static constexpr qsizetype FrameBufferSize = 1048576;
    static constexpr qsizetype MaxVideoDatagram = 1048575;
    // The largest UDP payload over IPv4: what a picture that goes as it is may weigh.
    static constexpr qsizetype MaxSentDatagram = 65507;

    explicit TVideoLink(TCallPorts ports, QObject* parent = nullptr);
    ~TVideoLink() override;

    // Starts listening for video; false when the port is held by another program.
    bool Listen();
    quint16 ListenPort() const;
    void SetSender(std::unique_ptr<IDatagramSender> sender);
    // Where received pictures will be shown (its size, and device pixels per widget pixel);
    // they are scaled for it on the decoding thread.
    void SetDisplaySize(const QSize& size, qreal devicePixelRatio = 1.0);

    // Frames flow with the peer from Start until Stop.
    void Start(const QHostAddress& peer);
    void Stop();
    // For an encrypted call, before Start: every picture goes sealed, and only the peer's
    // sealed pictures that open are shown. Stop ends it.
    void Seal(std::unique_ptr<TVideoSealer> out, std::unique_ptr<TVideoOpener> in);
    bool Sealed() const { return sealer_ != nullptr; }
    // The peer's datagrams that did not open (plain ones included) and those seen before.
    qint64 AuthFailures() const;
    qint64 Replays() const;
    // The largest picture that goes in one datagram now.
    qsizetype PictureLimit() const;
    bool Running() const { return peer_.has_value(); }

    // One grabbed frame: sent to the peer while a call is up. A frame that cannot be sent
    // lowers the quality by one for the rest of the run.
    void Send(const QImage& frame);
    // The same for a frame that may come with the camera's own JPEG picture, or be the
    // screen. The camera's picture goes as it came when it fits one datagram.
    void Send(const TCameraFrame& frame);
    // One video datagram from an address.
    void Receive(const QByteArray& datagram, const QString& sender);

    qint32 Quality() const { return quality_; }
    TVideoSource Source() const { return source_; }
    // The JPEG quality of the last frame sent, as made (1..100): the encoder's for the camera,
    // the screen fit's for the screen, the camera's own for a picture sent as it came (nothing
    // when it cannot be told).
    std::optional<int> SentQuality() const { return sentQuality_; }
    const TScreenFit& ScreenFit() const { return screenFit_; }
    TVideoRates Rates() { return counters_.Rates(clock()); }
    const TFrameDecoder& Decoder() const { return *decoder_; }
    // The picture to keep of one that is shown: the peer's last frame whole (it may have been
    // decoded smaller, for the area), anything else as it is.
    QImage WholePicture(const QImage& shown) const;
    // The counters' time; tests set their own.
    std::function<TRateWindow::TTime()> clock = [] { return TRateWindow::TClock::now(); };

signals:
    // A picture of the peer to show: as decoded, and scaled for the display size.
    void shown(const QImage& picture, const QImage& display);
    // The first video datagram of the run that was looked at came from this address.
    void firstSender(const QString& address);
    // The quality has fallen to nothing: frames of this size cannot be sent.
    void frameTooLarge();

private:
    void Decoded(const TFrameDecoder::TFrame& frame, quint64 ticket);
    // Sends one compressed picture; throws when it cannot.
    void Transmit(const QByteArray& jpeg, TVideoSource source, std::optional<int> quality);
    void SendPicture(const QImage& picture, bool screen);
    void SendFailed(const std::exception& e);

    TCallPorts ports_;
    TUdpListener* listener_ = nullptr;
    std::unique_ptr<IDatagramSender> sender_;
    TFrameDecoder* decoder_ = nullptr;
    std::optional<QHostAddress> peer_;
    bool senderSeen_ = false;
    qint32 quality_ = 100;
    quint64 ticket_ = 0; // changes when a call starts or ends: late frames are not shown
    // The peer's last frame shown, and its datagram when it was decoded smaller.
    QImage lastShown_;
    QByteArray lastReducedFrom_;
    TCallCounters counters_;
    std::unique_ptr<TVideoSealer> sealer_;
    std::unique_ptr<TVideoOpener> opener_;
    TLogThrottle refused_;
    TJpegEncoder encoder_;
    TScreenFit screenFit_;
    TVideoSource source_ = TVideoSource::None;
    std::optional<int> sentQuality_;
    // Allocated once and reused for every frame.
    QByteArray frameBuffer_;
};

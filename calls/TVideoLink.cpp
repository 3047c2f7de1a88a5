#include "calls/TVideoLink.h"

#include "calls/TFrameDecoder.h"
#include "calls/TUdpDatagramSender.h"
#include "calls/TUdpListener.h"
#include "platform/camera/stamp/FrameStamp.h"
#include "platform/crypto/TVideoOpener.h"
#include "platform/crypto/TVideoSealer.h"
#include "platform/errors/EError.h"
#include "platform/jpeg/CameraJpeg.h"
#include "platform/jpeg/TJpegDecoder.h"
#include "platform/logging/Logging.h"

#include <algorithm>
#include <chrono>

TVideoLink::TVideoLink(TCallPorts ports, QObject* parent)
    : QObject(parent), ports_(ports),
      sender_(std::make_unique<TUdpDatagramSender>(ports.videoPeer)),
      frameBuffer_(FrameBufferSize, '\0')
{
    listener_ = new TUdpListener(
        QStringLiteral("video"), MaxVideoDatagram, lcVideo,
        [this](const QByteArray& d, const QString& from) { Receive(d, from); }, this);
    listener_->setObjectName(QStringLiteral("UDPServer1"));
    decoder_ = new TFrameDecoder(
        [this](const TFrameDecoder::TFrame& frame, quint64 ticket) { Decoded(frame, ticket); },
        this);
}

TVideoLink::~TVideoLink() = default;

bool TVideoLink::Listen()
{
    return listener_->Activate(ports_.videoListen);
}

quint16 TVideoLink::ListenPort() const
{
    return listener_->localPort();
}

void TVideoLink::SetSender(std::unique_ptr<IDatagramSender> sender)
{
    sender_ = std::move(sender);
}

void TVideoLink::SetDisplaySize(const QSize& size, qreal devicePixelRatio)
{
    decoder_->SetDisplaySize(size, devicePixelRatio);
}

void TVideoLink::Start(const QHostAddress& peer)
{
    peer_ = peer;
    ++ticket_;
    counters_.Clear();
    source_ = TVideoSource::None;
    sentQuality_.reset();
    qCInfo(lcVideo).noquote() << "video with" << peer.toString();
}

void TVideoLink::Stop()
{
    peer_.reset();
    ++ticket_;
    sealer_.reset(); // the call's keys go with it
    opener_.reset();
}

void TVideoLink::Seal(std::unique_ptr<TVideoSealer> out, std::unique_ptr<TVideoOpener> in)
{
    sealer_ = std::move(out);
    opener_ = std::move(in);
    qCInfo(lcCrypto) << (sealer_ ? "pictures go sealed" : "pictures go plain");
}

qint64 TVideoLink::AuthFailures() const
{
    return opener_ ? opener_->AuthFailures() : 0;
}

qint64 TVideoLink::Replays() const
{
    return opener_ ? opener_->Replays() : 0;
}

qsizetype TVideoLink::PictureLimit() const
{
    return sealer_ ? MaxSentDatagram - TVideoSealer::Overhead : MaxSentDatagram;
}

void TVideoLink::Receive(const QByteArray& datagram, const QString& sender)
{
    // During a call only the peer's pictures count; anyone else's are not even looked at.
    if (peer_ && !peer_->isEqual(QHostAddress(sender))) {
        qCDebug(lcVideo) << "dropped a video datagram from" << sender << "(not the peer)";
        return;
    }
    if (!senderSeen_) {
        senderSeen_ = true;
        emit firstSender(sender);
    }
    // Between calls nothing is shown: the idle picture stays.
    if (!peer_)
        return;
    if (opener_) {
        // Plain pictures from the peer's address during an encrypted call are someone else's.
        const std::optional<QByteArray> opened = opener_->Open(datagram);
        if (!opened) {
            if (const std::optional<qint64> more = refused_.Allow())
                qCWarning(lcCrypto).noquote()
                    << "dropped a video datagram from" << sender << "that did not open;"
                    << opener_->AuthFailures() << "failures," << opener_->Replays() << "replays"
                    << TLogThrottle::More(*more);
            return;
        }
        counters_.DatagramReceived(clock(), datagram.size());
        decoder_->Submit(*opened, ticket_);
        return;
    }
    counters_.DatagramReceived(clock(), datagram.size());
    // Decoding takes its own thread; what is not a sound JPEG image is dropped there and the
    // last good picture stays.
    decoder_->Submit(datagram, ticket_);
}

void TVideoLink::Decoded(const TFrameDecoder::TFrame& frame, quint64 ticket)
{
    // A frame decoded for a call that has ended since, or for an earlier one, is not shown.
    if (!peer_ || ticket != ticket_)
        return;
    const QImage& picture = frame.picture;
    lastShown_ = picture;
    lastReducedFrom_ = frame.reducedFrom;
    counters_.FrameShown(clock());
    qCDebug(lcVideo).noquote()
        << QStringLiteral("shown frame %1 x %2").arg(picture.width()).arg(picture.height());
    emit shown(picture, frame.display);
    // A test camera's frame number, for measuring the way from its making to the screen.
    if (lcLatency().isDebugEnabled())
        if (const std::optional<quint32> number = FrameStamp::Read(picture))
            qCDebug(lcLatency).noquote()
                << QStringLiteral("shown frame %1 at %2 us")
                       .arg(*number)
                       .arg(std::chrono::duration_cast<std::chrono::microseconds>(
                                std::chrono::steady_clock::now().time_since_epoch())
                                .count());
}

QImage TVideoLink::WholePicture(const QImage& shown) const
{
    if (lastReducedFrom_.isEmpty() || shown.cacheKey() != lastShown_.cacheKey())
        return shown;
    return TJpegDecoder::Decode(lastReducedFrom_).value_or(shown);
}

void TVideoLink::Send(const QImage& frame)
{
    Send(TCameraFrame{frame, {}, false});
}

void TVideoLink::Send(const TCameraFrame& frame)
{
    if (!peer_)
        return;
    if (frame.jpeg.isEmpty()) {
        SendPicture(frame.picture, frame.screen);
        return;
    }
    // A driver may pad its buffers after the picture; far beyond a datagram it is no use looking.
    if (frame.jpeg.size() <= 2 * MaxSentDatagram) {
        if (const std::optional<QByteArray> jpeg = CameraJpeg::Sendable(frame.jpeg);
            jpeg && jpeg->size() <= PictureLimit()) {
            try {
                Transmit(*jpeg, TVideoSource::Passthrough, CameraJpeg::Quality(*jpeg));
            } catch (const std::exception& e) {
                SendFailed(e);
            }
            return;
        }
    }
    // Too large for a datagram, or not a picture every peer decodes: the whole picture goes
    // through the encoder as any other frame.
    const std::optional<QImage> picture = TJpegDecoder::Decode(frame.jpeg);
    if (!picture) {
        qCDebug(lcVideo) << "a camera picture that does not decode was not sent";
        return;
    }
    SendPicture(*picture, frame.screen);
}

void TVideoLink::SendPicture(const QImage& picture, bool screen)
{
    try {
        if (screen) {
            const QByteArray jpeg = screenFit_.Encode(picture, encoder_, PictureLimit());
            if (jpeg.isEmpty())
                throw EError(tr("The screen does not fit a datagram."));
            Transmit(jpeg, TVideoSource::Screen, screenFit_.Quality());
            return;
        }
        // The quality falls with every frame that cannot be sent; the encoder takes 1..100.
        const int quality = quality_ >= 1 ? (quality_ & 0xFF) : 1;
        encoder_.SetQuality(quality);
        const QByteArray jpeg = encoder_.Compress(picture);
        if (jpeg.isEmpty())
            throw EError(tr("The frame could not be compressed."));
        Transmit(jpeg, TVideoSource::Camera, std::clamp(quality, 1, 100));
    } catch (const std::exception& e) {
        SendFailed(e);
    }
}

void TVideoLink::Transmit(const QByteArray& jpeg, TVideoSource source, std::optional<int> quality)
{
    // Larger than the send buffer means larger than any datagram: a failed send.
    if (jpeg.size() > frameBuffer_.size())
        throw EError(tr("The frame is larger than the send buffer."));
    if (sealer_) {
        const QByteArray sealed = sealer_->Seal(jpeg);
        if (sealed.isEmpty())
            throw EError(tr("The picture could not be sealed."));
        sender_->SendTo(sealed, *peer_);
    } else {
        std::copy(jpeg.cbegin(), jpeg.cend(), frameBuffer_.begin());
        sender_->SendTo(QByteArray::fromRawData(frameBuffer_.constData(), jpeg.size()), *peer_);
    }
    counters_.FrameSent(clock(), jpeg.size());
    source_ = source;
    sentQuality_ = quality;
}

void TVideoLink::SendFailed(const std::exception& e)
{
    --quality_;
    qCDebug(lcVideo) << "frame not sent:" << e.what() << "quality now" << quality_;
    if (quality_ == 0)
        emit frameTooLarge();
}

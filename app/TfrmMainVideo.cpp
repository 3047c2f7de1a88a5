// Video: each grabbed frame goes to the peer as one JPEG datagram; received frames are shown
// while a call is up.
#include "app/TfrmMain.h"

#include "app/TForms.h"
#include "app/TFrameDecoder.h"
#include "capture/TFGraphConfig.h"
#include "capture/TVideoCapture.h"
#include "platform/errors/EError.h"
#include "platform/logging/Logging.h"
#include "platform/ui/Guarded.h"
#include "platform/ui/TUiServices.h"
#include "widgets/TImage.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QUdpSocket>

void TfrmMain::UDPServer1UDPRead(const QByteArray& datagram, const QString& sender)
{
    // During a call only the peer's pictures count; anyone else's are not even looked at.
    if (Connected && sender != CallPeer) {
        qCDebug(lcVideo) << "dropped a video datagram from" << sender << "(not the peer)";
        return;
    }
    if (!PeerFrameSeen) {
        edtHostName->setText(sender);
        PeerFrameSeen = true;
    }
    FrameInStream = datagram;
    if (Connected)
        CallCounters.DatagramReceived(StatsClock(), datagram.size());
    if (!Connected) {
        Image1->SetPicture(Image12->Picture());
        return;
    }
    // Decoding takes its own thread; what is not a sound JPEG image is dropped there and the
    // last good picture stays.
    FrameDecoder->Submit(FrameInStream, videoTicket_);
}

void TfrmMain::ShowDecodedFrame(const QImage& picture, const QImage& display, quint64 ticket)
{
    // A frame decoded for a call that has ended since, or for an earlier one, is not shown.
    if (!Connected || ticket != videoTicket_)
        return;
    Image1->SetPicture(picture, display);
    CallCounters.FrameShown(StatsClock());
    qCDebug(lcVideo).noquote()
        << QStringLiteral("shown frame %1 x %2").arg(picture.width()).arg(picture.height());
}

void TfrmMain::SetVideoDestination(const QString& host)
{
    VideoHost = host;
    videoAddress_.reset();
    videoAddressError_.clear();
    try {
        videoAddress_ = UDPClient1->Resolve(host).first();
    } catch (const std::exception& e) {
        // Every frame of the call then fails to go, as a send to an unknown host does.
        videoAddressError_ = QString::fromUtf8(e.what());
        qCWarning(lcVideo).noquote() << "video destination" << host << "unknown:" << e.what();
    }
}

void TfrmMain::capBitmapGrabbed(const QImage& bitmap)
{
    if (!Connected)
        return;
    // The quality falls with every frame that cannot be sent; the encoder takes 1..100.
    FrameEncoder.SetQuality(JpegQuality >= 1 ? (JpegQuality & 0xFF) : 1);
    FrameOutStream = FrameEncoder.Compress(bitmap);
    try {
        if (FrameOutStream.isEmpty())
            throw EError(QStringLiteral("The frame could not be compressed."));
        // Larger than the send buffer means larger than any datagram: a failed send.
        if (FrameOutStream.size() > FrameBuffer.size())
            throw EError(QStringLiteral("The frame is larger than the send buffer."));
        if (!videoAddress_)
            throw EError(videoAddressError_);
        std::copy(FrameOutStream.cbegin(), FrameOutStream.cend(), FrameBuffer.begin());
        UDPClient1->SendTo(QByteArray::fromRawData(FrameBuffer.constData(), FrameOutStream.size()),
                           *videoAddress_);
        CallCounters.FrameSent(StatsClock(), FrameOutStream.size());
    } catch (const std::exception& e) {
        --JpegQuality;
        qCDebug(lcVideo) << "frame not sent:" << e.what() << "quality now" << JpegQuality;
        if (JpegQuality == 0)
            Ui().Information(
                QStringLiteral("Video Frame too large. Lower resolution on video camera."));
    }
}

void TfrmMain::Image9Click()
{
    QApplication::clipboard()->setImage(Image1->Picture());
    QCoreApplication::processEvents();
}

void TfrmMain::capFrameRendered()
{
    cap->GrabNextFrame();
}

void TfrmMain::capChangeDevice()
{
    TVCapMode video;
    TACapMode audio;
    cap->GetCurrentVCapMode(video);
    cap->GetCurrentACapMode(audio);
    if (Forms().FGraphConfig)
        Forms().FGraphConfig->FillDialogs(cap->Dialogs());
}

void TfrmMain::btnPreviewClick()
{
    if (cap->Previewing()) {
        cap->StopPreview();
        Label3->show();
    } else {
        cap->StartPreview();
        Label3->hide();
    }
}

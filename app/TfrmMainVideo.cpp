// Video: each grabbed frame goes to the peer as one JPEG datagram; received frames are shown
// while a call is up.
#include "app/TfrmMain.h"

#include "capture/TVideoCapture.h"
#include "platform/errors/EError.h"
#include "platform/jpeg/TJpegDecoder.h"
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
    if (!PeerFrameSeen) {
        edtHostName->setText(sender);
        PeerFrameSeen = true;
    }
    FrameInStream = datagram;
    if (!Connected) {
        Image1->SetPicture(Image12->Picture());
        return;
    }
    // Anyone can send to this port: what is not a sound JPEG image is dropped and the last
    // good picture stays.
    if (auto picture = TJpegDecoder::Decode(FrameInStream))
        Image1->SetPicture(*picture);
    else
        qCDebug(lcVideo) << "dropped a video datagram of" << datagram.size() << "bytes from"
                         << sender;
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
        std::copy(FrameOutStream.cbegin(), FrameOutStream.cend(), FrameBuffer.begin());
        UDPClient1->Send(QByteArray::fromRawData(FrameBuffer.constData(), FrameOutStream.size()),
                         VideoHost);
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
    // The video options window, which lists the device's dialogs, comes later.
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

#include "capture/TPixelFormats.h"
#include "capture/TSampleGrabberCB.h"
#include "capture/TVideoCapture.h"
#include "platform/capturegraph/CaptureGuids.h"
#include "platform/logging/Logging.h"

using namespace CaptureGuids;

bool TVideoCapture::RenderPreview(const FilterPtr& videoSource)
{
    FilterPtr source = videoSource;
    if (WantBitmaps) {
        FilterPtr grabberFilter;
        if (Hr::Failed(graph_->FindFilterByName("MyBitmapGrabber", grabberFilter)) ||
            !grabberFilter) {
            grabberFilter.reset();
            FilterPtr created;
            if (Hr::Succeeded(system_.CreateFilter(TFilterClass::SampleGrabber, created)) &&
                created && Hr::Succeeded(graph_->AddFilter(created, "MyBitmapGrabber")))
                grabberFilter = created;
        }
        grabber_ = grabberFilter ? grabberFilter->SampleGrabber() : nullptr;
        if (grabber_) {
            if (const auto subtype = TPixelFormats::RequestedSubtype(BitmapPixelFormat)) {
                TMediaType wanted;
                wanted.majortype = MEDIATYPE_Video;
                wanted.subtype = *subtype;
                wanted.formattype = FORMAT_VideoInfo;
                grabber_->SetMediaType(wanted);
            }
            if (Hr::Succeeded(builder_->RenderStream(TPinCategory::None, &MEDIATYPE_Video, source,
                                                     nullptr, grabberFilter))) {
                grabber_->SetBufferSamples(false);
                grabber_->SetOneShot(false);
                callback_->Window.store(this);
                grabber_->SetCallback(callback_.get(), 1);
                source = grabberFilter;
            } else {
                ShowCaptureError("Can't install SampleGrabber. Probably wrong color depth used?");
                // An unconnected grabber would only arm frames that never come.
                grabber_.reset();
                graph_->RemoveFilter(grabberFilter);
            }
        }
    }
    return Hr::Succeeded(
        builder_->RenderStream(TPinCategory::None, &MEDIATYPE_Video, source, nullptr, nullptr));
}

bool TVideoCapture::GrabNextFrame()
{
    const bool want = grabber_ && WantBitmaps && previewing_;
    callback_->WantFrame.store(want);
    return want;
}

void TVideoCapture::HandleBitmapGrabbed(const TSampleGrabberCB* callback)
{
    if (callback != callback_.get() || !grabber_)
        return;
    try {
        TMediaType type;
        if (Hr::Failed(grabber_->GetConnectedMediaType(type)))
            return;
        std::optional<TBitmapInfoHeader> header;
        if (type.formattype == FORMAT_VideoInfo)
            header = TBitmapInfoHeader::FromBytes(type.format, TMediaType::VideoInfoHeaderOffset);
        else if (type.formattype == FORMAT_VideoInfo2)
            header = TBitmapInfoHeader::FromBytes(type.format, TMediaType::VideoInfoHeader2Offset);
        if (!header)
            return;
        if (callback_->BufferSize() == 0)
            return;
        TCapturedBitmap bitmap;
        const int lines = callback_->WithBuffer(
            [&](const QByteArray& buffer) { return bitmap.Draw(*header, buffer); });
        if (lines > 0)
            emit OnBitmapGrabbed(bitmap);
    } catch (const std::exception& e) {
        // A broken frame must not take the UI down; the next one is asked for anyway.
        qCWarning(lcCapture) << "grabbed frame dropped:" << e.what();
    }
}

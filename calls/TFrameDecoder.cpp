#include "calls/TFrameDecoder.h"

#include "platform/jpeg/TJpegDecoder.h"
#include "platform/logging/Logging.h"
#include "platform/text/FitRect.h"

TFrameDecoder::TFrameDecoder(Handler handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler)),
      worker_([this](std::stop_token stop) { Run(stop); })
{}

TFrameDecoder::~TFrameDecoder()
{
    worker_.request_stop();
    wake_.notify_all();
    worker_.join();
}

void TFrameDecoder::Submit(const QByteArray& datagram, quint64 ticket)
{
    ++submitted_;
    {
        std::lock_guard lock(mutex_);
        job_ = TJob{datagram, ticket};
    }
    wake_.notify_one();
}

void TFrameDecoder::SetDisplaySize(const QSize& size, qreal devicePixelRatio)
{
    std::lock_guard lock(mutex_);
    displaySize_ = size;
    devicePixelRatio_ = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
}

std::optional<TFrameDecoder::TFrame>
TFrameDecoder::Prepare(const QByteArray& datagram, const QSize& area, qreal devicePixelRatio)
{
    const std::optional<QSize> stated = TJpegDecoder::Size(datagram);
    if (!stated)
        return std::nullopt;
    // A picture larger than the area is decoded no larger than it takes to cover the area: the
    // library leaves out the detail nobody would see, which a peer could otherwise make cost
    // a large share of a core per datagram.
    const QSize cover = (QSizeF(FitRect(*stated, area).size()) * devicePixelRatio).toSize();
    std::optional<QImage> picture = cover.isEmpty() ? TJpegDecoder::Decode(datagram)
                                                    : TJpegDecoder::DecodeScaled(datagram, cover);
    if (!picture)
        return std::nullopt;
    // Fitted as the picture decoded, which is how the area paints it.
    TFrame frame;
    const QRect fit = FitRect(picture->size(), area);
    const QSize device = (QSizeF(fit.size()) * devicePixelRatio).toSize();
    if (!fit.isEmpty() && !device.isEmpty()) {
        frame.display = device == picture->size() ? *picture
                                                  : picture->scaled(device, Qt::IgnoreAspectRatio,
                                                                    Qt::SmoothTransformation);
        frame.display.setDevicePixelRatio(devicePixelRatio);
    }
    if (picture->size() != *stated)
        frame.reducedFrom = datagram;
    frame.picture = std::move(*picture);
    return frame;
}

void TFrameDecoder::Run(std::stop_token stop)
{
    while (true) {
        TJob job;
        QSize area;
        qreal ratio = 1.0;
        {
            std::unique_lock lock(mutex_);
            if (!wake_.wait(lock, stop, [this] { return job_.has_value(); }))
                return;
            job = std::move(*job_);
            job_.reset();
            area = displaySize_;
            ratio = devicePixelRatio_;
        }
        std::optional<TFrame> frame = Prepare(job.datagram, area, ratio);
        if (!frame) {
            ++refused_;
            qCDebug(lcVideo) << "dropped a video datagram of" << job.datagram.size() << "bytes";
            continue;
        }
        ++decoded_;
        std::lock_guard lock(mutex_);
        result_ = TResult{std::move(*frame), job.ticket};
        if (!deliveryPosted_) {
            deliveryPosted_ = true;
            QMetaObject::invokeMethod(this, &TFrameDecoder::Deliver, Qt::QueuedConnection);
        }
    }
}

void TFrameDecoder::Deliver()
{
    std::optional<TResult> result;
    {
        std::lock_guard lock(mutex_);
        deliveryPosted_ = false;
        result.swap(result_);
    }
    if (!result)
        return;
    ++delivered_;
    handler_(result->frame, result->ticket);
}

#include "platform/capturegraph/gst/TGstVideoWindow.h"

#include "platform/capturegraph/gst/TGstVideoWidget.h"

TGstVideoWindow::TGstVideoWindow() = default;

TGstVideoWindow::~TGstVideoWindow()
{
    delete widget_.data();
}

HRESULT TGstVideoWindow::SetOwner(QWidget* owner)
{
    delete widget_.data();
    widget_ = nullptr;
    if (!owner)
        return Hr::S_OK;
    widget_ = new TGstVideoWidget(owner);
    if (geometry_.isValid())
        widget_->setGeometry(geometry_);
    if (!last_.isNull())
        widget_->SetFrame(last_);
    widget_->setVisible(visible_);
    return Hr::S_OK;
}

HRESULT TGstVideoWindow::SetWindowPosition(int left, int top, int width, int height)
{
    if (width < 0 || height < 0)
        return Hr::E_INVALIDARG;
    geometry_ = QRect(left, top, width, height);
    if (widget_)
        widget_->setGeometry(geometry_);
    return Hr::S_OK;
}

HRESULT TGstVideoWindow::SetVisible(bool visible)
{
    visible_ = visible;
    if (widget_)
        widget_->setVisible(visible);
    return Hr::S_OK;
}

void TGstVideoWindow::PushFrame(const QImage& frame)
{
    // One hand-over at a time carries the newest frame, so a busy UI thread drops frames
    // instead of piling them up.
    std::lock_guard<std::mutex> lock(pendingLock_);
    pending_ = frame;
    if (posted_)
        return;
    posted_ = true;
    QMetaObject::invokeMethod(
        &relay_, [this] { ShowPending(); }, Qt::QueuedConnection);
}

void TGstVideoWindow::ShowPending()
{
    {
        std::lock_guard<std::mutex> lock(pendingLock_);
        last_ = std::move(pending_);
        pending_ = QImage();
        posted_ = false;
    }
    if (widget_)
        widget_->SetFrame(last_);
}

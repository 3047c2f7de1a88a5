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
    QMetaObject::invokeMethod(
        &relay_, [this, frame] { Show(frame); }, Qt::QueuedConnection);
}

void TGstVideoWindow::Show(const QImage& frame)
{
    last_ = frame;
    if (widget_)
        widget_->SetFrame(frame);
}

#pragma once

// The preview: paints the latest frame stretched over the whole widget.

#include <QImage>
#include <QWidget>

class TGstVideoWidget : public QWidget
{
public:
    explicit TGstVideoWidget(QWidget* parent);

    // UI thread only.
    void SetFrame(const QImage& frame);
    QImage Frame() const { return frame_; }
    int FrameCount() const { return frameCount_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage frame_;
    int frameCount_ = 0;
};

#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>

// A grey twelve-spoke busy wheel turning clockwise: 12 frames drawn in code, 100 ms each,
// repeated for as long as the wheel is shown.
class TBusyWheel : public QWidget
{
    Q_OBJECT
public:
    static constexpr int FrameCount = 12;
    static constexpr int FrameIntervalMs = 100;

    explicit TBusyWheel(QWidget* parent = nullptr);

    int Frame() const { return frame_; }
    bool IsTurning() const { return timer_.isActive(); }
    // One frame of the wheel on white.
    static QImage FrameImage(int frame, const QSize& size);

    QSize sizeHint() const override { return QSize(32, 32); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    static void PaintFrame(QPainter& p, int frame, const QSizeF& size);

    QTimer timer_;
    int frame_ = 0;
};

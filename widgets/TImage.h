#pragma once

#include <QImage>
#include <QWidget>

// A picture shown centred and scaled to fit while keeping its proportions.
class TImage : public QWidget
{
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

    // display, when given, is the picture already scaled for this widget (made off the UI
    // thread); it is drawn as it is while it matches the size the picture is shown at.
    void SetPicture(const QImage& picture, const QImage& display = {});
    const QImage& Picture() const { return picture_; }

    // Where the picture lands inside the widget.
    QRect PictureRect() const;
    // Where a picture of that size lands in an area of that size.
    static QRect FitRect(const QSize& picture, const QSize& area);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
    QImage display_;
};

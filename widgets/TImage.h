#pragma once

#include <QImage>
#include <QWidget>

// A picture shown centred and scaled to fit while keeping its proportions.
class TImage : public QWidget
{
    Q_OBJECT
public:
    explicit TImage(QWidget* parent = nullptr);

    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return picture_; }

    // Where the picture lands inside the widget.
    QRect PictureRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};

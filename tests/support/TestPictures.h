#pragma once

#include "platform/jpeg/TJpegEncoder.h"

#include <QImage>
#include <QPainter>

// A picture easy to tell apart: one colour with a white middle half.
inline QImage Pattern(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_BGR888);
    image.fill(colour);
    QPainter p(&image);
    p.fillRect(width / 4, height / 4, width / 2, height / 2, Qt::white);
    return image;
}

// The picture as the program sends it, at quality 85.
inline QByteArray Jpeg(const QImage& image)
{
    TJpegEncoder encoder;
    encoder.SetQuality(85);
    return encoder.Compress(image);
}

#pragma once

#include <QByteArray>

// Pictures built into the program.
class Resources
{
public:
    // The 800 x 600 JPEG shown when no call is up: the product's title on black.
    static QByteArray IdlePictureJpeg();
};

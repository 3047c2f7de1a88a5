#include "resources/Resources.h"

#include <QFile>

QByteArray Resources::IdlePictureJpeg()
{
    QFile file(QStringLiteral(":/idle.jpg"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

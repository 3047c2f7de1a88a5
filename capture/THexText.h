#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// Byte strings as hexadecimal text, two upper-case digits per byte, high nibble first.
class THexText
{
public:
    static QString Encode(const QByteArray& bytes);

    // Never fails: the result always has (length + 1) / 2 bytes. Odd text reads as if a "0"
    // stood in front of it; from the first pair that is not two digits on, bytes stay 0.
    static QByteArray Decode(QStringView text);
};

#include "capture/TGuid.h"

QByteArray TGuid::ToBytes() const
{
    QByteArray bytes(ByteCount, '\0');
    auto put = [&bytes](int at, quint64 value, int count) {
        for (int i = 0; i < count; ++i)
            bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    put(0, Data1, 4);
    put(4, Data2, 2);
    put(6, Data3, 2);
    for (int i = 0; i < 8; ++i)
        bytes[8 + i] = static_cast<char>(Data4[i]);
    return bytes;
}

TGuid TGuid::FromBytes(const QByteArray& bytes)
{
    auto byteAt = [&bytes](int i) -> quint32 {
        return i < bytes.size() ? static_cast<quint8>(bytes.at(i)) : 0u;
    };
    TGuid guid;
    guid.Data1 = byteAt(0) | byteAt(1) << 8 | byteAt(2) << 16 | byteAt(3) << 24;
    guid.Data2 = static_cast<quint16>(byteAt(4) | byteAt(5) << 8);
    guid.Data3 = static_cast<quint16>(byteAt(6) | byteAt(7) << 8);
    for (int i = 0; i < 8; ++i)
        guid.Data4[i] = static_cast<quint8>(byteAt(8 + i));
    return guid;
}

QString TGuid::ToString() const
{
    auto hex = [](quint64 value, int width) {
        return QString::number(value, 16).rightJustified(width, QLatin1Char('0')).toUpper();
    };
    QString tail;
    for (int i = 2; i < 8; ++i)
        tail += hex(Data4[i], 2);
    return QStringLiteral("{%1-%2-%3-%4%5-%6}")
        .arg(hex(Data1, 8), hex(Data2, 4), hex(Data3, 4), hex(Data4[0], 2), hex(Data4[1], 2), tail);
}

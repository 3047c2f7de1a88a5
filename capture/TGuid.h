#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>

// A 128-bit interface or media type identifier laid out as the capture graph's GUIDs are:
// one 32-bit part, two 16-bit parts and eight single bytes. Stored configurations carry the
// 16 bytes in little-endian memory order, so ToBytes/FromBytes fix that order explicitly and do
// not depend on the host's byte order.
struct TGuid
{
    static constexpr int ByteCount = 16;

    quint32 Data1 = 0;
    quint16 Data2 = 0;
    quint16 Data3 = 0;
    std::array<quint8, 8> Data4{};

    bool IsNull() const { return *this == TGuid{}; }

    // Memory order: Data1 and then Data2 and Data3 least significant byte first, then Data4.
    QByteArray ToBytes() const;
    // Uses the first 16 bytes; a shorter array leaves the missing bytes 0.
    static TGuid FromBytes(const QByteArray& bytes);

    // "{E436EB7D-524F-11CE-9F53-0020AF0BA770}", for logs and test output.
    QString ToString() const;

    bool operator==(const TGuid&) const = default;
};

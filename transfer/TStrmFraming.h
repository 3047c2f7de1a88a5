#pragma once

#include <QByteArray>
#include <optional>

// The bytes of a stream message on the wire: a 4-digit name length and the name, a 10-character
// body length, the body; the receiver answers with 16 acknowledgement bytes.
namespace TStrmFraming {

constexpr int MaxName = 9999;
constexpr qint64 MaxBody = 2147483647;
constexpr int NameLengthSize = 4;
constexpr int BodyLengthSize = 10;
constexpr int BlockSize = 65536;

// "OK" and 14 spaces.
QByteArray Acknowledgement();

// "%.4d" of the name's length, then the name (at most 9,999 bytes are framed).
QByteArray NameHeader(const QByteArray& name);

// "%10d" of the body's length.
QByteArray BodyLength(qint64 length);

// A length field as the receiver reads it: optional leading spaces, then decimal digits up to
// 2,147,483,647, nothing else (no sign). Nothing when it is not such a number.
std::optional<qint32> ParseLength(const QByteArray& field);

} // namespace TStrmFraming

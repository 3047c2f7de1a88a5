#include "platform/crypto/TChannelFrames.h"

namespace {

constexpr char Version = 1;

} // namespace

QByteArray TChannelFrames::Encode(char type, const QByteArray& payload)
{
    const qsizetype length = payload.size() + 1;
    if (length > MaxLength)
        return {};
    QByteArray frame;
    frame.reserve(length + 2);
    frame.append(char(length >> 8)).append(char(length & 0xff)).append(type).append(payload);
    return frame;
}

QByteArray TChannelFrames::EncodeHello(char kind, const QByteArray& callId)
{
    return Encode(Hello, QByteArray(1, Version) + kind + callId);
}

std::optional<int> TChannelFrames::Length(const QByteArray& field)
{
    if (field.size() != 2)
        return std::nullopt;
    const int length = (quint8(field[0]) << 8) | quint8(field[1]);
    if (length < 1 || length > MaxLength)
        return std::nullopt;
    return length;
}

TChannelFrames::TTake TChannelFrames::Take(QByteArray& buffer, TFrame* frame)
{
    if (buffer.size() < 2)
        return TTake::More;
    const std::optional<int> length = Length(buffer.left(2));
    if (!length)
        return TTake::Bad;
    if (buffer.size() < 2 + *length)
        return TTake::More;
    frame->type = buffer[2];
    frame->payload = buffer.mid(3, *length - 1);
    buffer.remove(0, 2 + *length);
    return TTake::Frame;
}

std::optional<TChannelFrames::THello> TChannelFrames::ParseHello(const TFrame& frame)
{
    const QByteArray& p = frame.payload;
    if (frame.type != Hello || p.size() < 2 || p[0] != Version)
        return std::nullopt;
    if (p[1] == KindMessage && p.size() == 2)
        return THello{KindMessage, {}};
    if (p[1] == KindCall && p.size() == 2 + CallIdSize)
        return THello{KindCall, p.mid(2)};
    return std::nullopt;
}

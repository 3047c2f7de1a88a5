#pragma once

#include <QByteArray>

#include <optional>

// The frames two copies exchange inside a secure channel: a 2-byte big-endian length L
// (1 ... 8193), then a type byte and L - 1 bytes of payload. The first frame from the side that
// connected is the hello, which says what the channel is for.
class TChannelFrames
{
public:
    static constexpr int MaxLength = 8193;
    static constexpr char Hello = 'H';
    static constexpr char KindCall = 'c';
    static constexpr char KindMessage = 'm';
    static constexpr int CallIdSize = 16;

    struct TFrame
    {
        char type = 0;
        QByteArray payload;
    };
    struct THello
    {
        char kind = 0;
        QByteArray callId; // a call's 16 bytes; empty for a message
    };

    // Empty when the payload is too long for a frame.
    static QByteArray Encode(char type, const QByteArray& payload);
    static QByteArray EncodeHello(char kind, const QByteArray& callId = {});

    enum class TTake
    {
        Frame, // one frame taken off the front of the buffer
        More,  // not whole yet
        Bad,   // a length no frame has: the channel is closed
    };
    static TTake Take(QByteArray& buffer, TFrame* frame);
    // What the length field of a frame announces; nullopt when no frame has it.
    static std::optional<int> Length(const QByteArray& field);
    // A hello of this version, for a message or a call with its id; nullopt otherwise.
    static std::optional<THello> ParseHello(const TFrame& frame);
};

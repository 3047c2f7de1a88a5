#pragma once

#include <QByteArray>

#include <optional>

// A camera's own JPEG picture made fit to go to a peer as it came. Cameras that send MJPEG
// often leave out the Huffman tables (the motion-JPEG convention: the decoder is to use the
// standard ones) and may pad the buffer after the picture; a peer decoding with plain libjpeg
// refuses the first and the datagram must hold exactly one picture. So the standard tables are
// put in where none are, and what follows the end marker is cut off.
namespace CameraJpeg {

// The picture ready to send, or nothing when it is not a baseline (sequential Huffman) JPEG
// whose segments hold together: such a picture goes through the encoder instead.
std::optional<QByteArray> Sendable(const QByteArray& jpeg);

// The quality the picture was made at, from its luminance quantization table against the
// standard one (1..100); nothing without such a table.
std::optional<int> Quality(const QByteArray& jpeg);

// The DHT segment (marker included) with the four standard tables.
const QByteArray& StandardHuffmanSegment();

} // namespace CameraJpeg

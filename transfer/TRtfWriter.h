#pragma once

#include <QByteArray>

class QTextDocument;

// Writes a rich-text document as RTF 1.x for the peer's word processor: one paragraph per
// block with its alignment, and per run of text its font, size, bold, italic, underline,
// strike-out and colour. Everything outside ASCII goes out as \uN escapes, so the bytes are
// 7-bit and need no code page on the other side. Tables and lists become plain paragraphs
// (a list keeps its markers); embedded images are left out.
class TRtfWriter
{
public:
    static QByteArray Write(const QTextDocument& document);
};

#pragma once

#include <QRectF>

class QPainter;

// The pictures on the program's image buttons, drawn rather than loaded so they stay sharp
// at any size.
enum class TGlyph
{
    CallAnswer,
    CallEnd,
    Settings,
    AddressBook,
    Snapshot,
    Maximize,
    Microphone,
    Close,
    Preview,
    Transfer,
    Video,
    Speaker,
};

void PaintGlyph(QPainter& p, TGlyph glyph, const QRectF& area);

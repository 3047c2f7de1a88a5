#pragma once

#include <QFont>
#include <QStringList>

// The program's faces. The classic names come first; where they are missing, their
// metric-compatible stand-ins keep texts within the places the windows give them.
class TFonts
{
public:
    static QFont SansSerif(int pointSize, bool bold = false); // "MS Sans Serif"
    static QFont Arial(int pointSize, bool bold = false);
};

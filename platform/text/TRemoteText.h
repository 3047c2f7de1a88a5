#pragma once

#include <QString>

// Text that came from the network, made safe to show: no control characters or direction
// overrides, and never longer than a bound. Qt Core only, so the call layer uses it too.
class TRemoteText
{
public:
    // Longest text ever kept of what a peer sent, before fitting it to a label.
    static constexpr int MaxChars = 256;

    // The text with every control, format and direction-override character replaced by a
    // space, cut to at most maxChars characters (never inside a surrogate pair).
    static QString Clean(const QString& text, int maxChars = MaxChars);
};

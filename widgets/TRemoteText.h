#pragma once

#include <QString>

class QLabel;

// Text that came from the network: shown as plain text only, without control characters or
// direction overrides, and cut so that it fits the label it is shown in.
class TRemoteText
{
public:
    // Longest text ever kept of what a peer sent, before fitting it to a label.
    static constexpr int MaxChars = 256;

    // The text with every control, format and direction-override character replaced by a
    // space, cut to at most maxChars characters (never inside a surrogate pair).
    static QString Clean(const QString& text, int maxChars = MaxChars);

    // Shows the cleaned text, followed by the program's own suffix, as plain text; the remote
    // part is elided at its end so that the whole line fits the label's width.
    static void Show(QLabel& label, const QString& text, const QString& suffix = {});
};

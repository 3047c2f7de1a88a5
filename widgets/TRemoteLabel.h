#pragma once

#include <QString>

class QLabel;

// A label that shows text from the network.
class TRemoteLabel
{
public:
    // Shows the cleaned text (TRemoteText), followed by the program's own suffix, as plain
    // text; the remote part is elided at its end so that the whole line fits the label's width,
    // and the whole line is then its tooltip and its accessible name.
    static void Show(QLabel& label, const QString& text, const QString& suffix = {});
};

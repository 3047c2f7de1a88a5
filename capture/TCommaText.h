#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// A list of "key=value" items kept on one line, separated by commas. Items that hold a blank,
// a control character, a double quote or a comma are enclosed in double quotes (quotes inside
// doubled), so such values survive the trip through the line.
class TCommaText
{
public:
    static QString Join(const QStringList& items);

    // Blanks and control characters before an item and around a comma are skipped; a bare item
    // ends at a comma, blank or control character, a quoted one at its closing quote (or at the
    // end of the text). A comma as the very last character adds an empty item. The text ends at
    // its first NUL character: the line is kept as a C-style string in the settings file.
    static QStringList Split(QStringView text);

    // The text after the first "=" of the first item whose text before that "=" equals key,
    // compared without regard to case; an empty string when no item matches.
    static QString Value(const QStringList& items, QStringView key);

private:
    static bool NeedsQuotes(QStringView item);
};

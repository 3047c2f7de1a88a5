#include "platform/text/TRemoteText.h"

QString TRemoteText::Clean(const QString& text, int maxChars)
{
    QString out;
    out.reserve(qMin<qsizetype>(text.size(), maxChars));
    for (qsizetype i = 0; i < text.size() && out.size() < maxChars; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            if (out.size() + 2 > maxChars)
                break;
            out += c;
            out += text.at(++i);
            continue;
        }
        // Lone surrogates, controls (line breaks among them) and invisible format characters
        // such as bidirectional overrides could make a label say something else than it seems.
        const QChar::Category category = c.category();
        const bool hidden = c.isSurrogate() || category == QChar::Other_Control ||
                            category == QChar::Other_Format || category == QChar::Separator_Line ||
                            category == QChar::Separator_Paragraph;
        out += hidden ? QChar(QLatin1Char(' ')) : c;
    }
    return out;
}

#include "capture/TCommaText.h"

namespace {

constexpr QChar Quote = QLatin1Char('"');
constexpr QChar Comma = QLatin1Char(',');

// Space and the control characters below it.
bool IsBlank(QChar c)
{
    return c.unicode() <= u' ';
}

} // namespace

bool TCommaText::NeedsQuotes(QStringView item)
{
    // A NUL is no reason to quote: reading stops at it, quoted or not.
    for (QChar c : item)
        if ((c.unicode() != 0 && IsBlank(c)) || c == Quote || c == Comma)
            return true;
    return false;
}

QString TCommaText::Join(const QStringList& items)
{
    QString line;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0)
            line += Comma;
        const QString& item = items[i];
        if (NeedsQuotes(item)) {
            QString doubled = item;
            doubled.replace(Quote, QStringLiteral("\"\""));
            line += Quote + doubled + Quote;
        } else {
            line += item;
        }
    }
    return line;
}

QStringList TCommaText::Split(QStringView text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0)
        text = text.left(nul);

    QStringList items;
    const qsizetype n = text.size();
    qsizetype p = 0;
    auto skipBlanks = [&] {
        while (p < n && IsBlank(text[p]))
            ++p;
    };

    skipBlanks();
    while (p < n) {
        if (text[p] == Quote) {
            QString item;
            ++p;
            while (p < n) {
                const qsizetype close = text.indexOf(Quote, p);
                if (close < 0) { // unterminated: the item runs to the end
                    item += text.mid(p);
                    p = n;
                    break;
                }
                item += text.mid(p, close - p);
                p = close + 1;
                if (p < n && text[p] == Quote) { // doubled quote stands for one
                    item += Quote;
                    ++p;
                    continue;
                }
                break;
            }
            items.append(item);
        } else {
            const qsizetype start = p;
            while (p < n && !IsBlank(text[p]) && text[p] != Comma)
                ++p;
            items.append(text.mid(start, p - start).toString());
        }
        // Every pass consumes at least one character: a bare item is empty only when it
        // stands at a comma, and that comma is consumed here.
        skipBlanks();
        if (p < n && text[p] == Comma) {
            ++p;
            if (p == n)
                items.append(QString());
            skipBlanks();
        }
    }
    return items;
}

QString TCommaText::Value(const QStringList& items, QStringView key)
{
    for (const QString& item : items) {
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        if (eq >= 0 && QStringView(item).left(eq).compare(key, Qt::CaseInsensitive) == 0)
            return item.mid(eq + 1);
    }
    return QString();
}

#include "transfer/TRtfWriter.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextList>

namespace {

// The font and colour tables, filled while the body is written and put in front of it after.
class TRtfTables
{
public:
    explicit TRtfTables(const QString& defaultFamily) : fonts_{defaultFamily} {}

    int FontIndex(const QString& family)
    {
        qsizetype index = fonts_.indexOf(family);
        if (index < 0) {
            index = fonts_.size();
            fonts_.append(family);
        }
        return int(index);
    }

    // 0 is the reader's own text colour, for runs that set none.
    int ColourIndex(const QBrush& foreground)
    {
        if (foreground.style() == Qt::NoBrush)
            return 0;
        const QRgb rgb = foreground.color().rgb() & RGB_MASK;
        qsizetype index = colours_.indexOf(rgb);
        if (index < 0) {
            index = colours_.size();
            colours_.append(rgb);
        }
        return int(index) + 1;
    }

    QByteArray FontTable() const;
    QByteArray ColourTable() const;

private:
    QStringList fonts_;
    QList<QRgb> colours_;
};

void AppendNumber(QByteArray& out, const char* word, int value)
{
    out += word;
    out += QByteArray::number(value);
}

// Text as RTF: backslash and braces escaped, tabs and line breaks as control words,
// other control characters and image placeholders dropped, everything past ASCII as \uN?
// per UTF-16 unit (so a character outside the BMP is its two surrogates), N signed 16-bit.
// unrtf skips the whole word after \uN rather than the one fallback character, so in running
// text an empty group ends the word when a letter follows; a font name must not hold a group.
void AppendText(QByteArray& out, QStringView text, bool inBody = true)
{
    bool afterUnicode = false;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if ((c < 0x20 && c != u'\t') || c == 0x7F || c == QChar::ObjectReplacementCharacter)
            continue;
        if (afterUnicode && inBody && c > u' ' && c < 0x80 && !QStringView(u"\\{}").contains(ch))
            out += "{}";
        afterUnicode = false;
        if (c == u'\\' || c == u'{' || c == u'}') {
            out += '\\';
            out += char(c);
        } else if (c == u'\t') {
            out += "\\tab ";
        } else if (c == QChar::LineSeparator) {
            out += "\\line ";
        } else if (c < 0x80) {
            out += char(c);
        } else {
            AppendNumber(out, "\\u", int(qint16(c)));
            out += '?';
            afterUnicode = true;
        }
    }
}

QByteArray TRtfTables::FontTable() const
{
    QByteArray out = "{\\fonttbl";
    for (qsizetype i = 0; i < fonts_.size(); ++i) {
        AppendNumber(out, "{\\f", int(i));
        out += "\\fnil ";
        // A semicolon would end the entry early.
        AppendText(out, QString(fonts_[i]).remove(u';'), false);
        out += ";}";
    }
    return out + '}';
}

QByteArray TRtfTables::ColourTable() const
{
    QByteArray out = "{\\colortbl;";
    for (const QRgb rgb : colours_) {
        AppendNumber(out, "\\red", qRed(rgb));
        AppendNumber(out, "\\green", qGreen(rgb));
        AppendNumber(out, "\\blue", qBlue(rgb));
        out += ';';
    }
    return out + '}';
}

// Half-points; a size given in pixels counts at 96 dpi.
int HalfPoints(const QFont& font)
{
    qreal points = font.pointSizeF();
    if (points <= 0 && font.pixelSize() > 0)
        points = font.pixelSize() * 0.75;
    if (points <= 0)
        points = 12;
    return qMax(1, qRound(points * 2));
}

// RTF alignment is visual; Qt's left and right without AlignAbsolute mean leading and
// trailing, which swap in a right-to-left paragraph.
QByteArray ParagraphStart(const QTextBlock& block)
{
    const bool rtl = block.textDirection() == Qt::RightToLeft;
    const Qt::Alignment align = block.blockFormat().alignment();
    QByteArray out = rtl ? "\\pard\\rtlpar" : "\\pard";
    if (align & Qt::AlignJustify) {
        out += "\\qj";
    } else if (align & Qt::AlignHCenter) {
        out += "\\qc";
    } else {
        bool right = (align & Qt::AlignRight) != 0;
        if (rtl && !(align & Qt::AlignAbsolute))
            right = !right;
        out += right ? "\\qr" : "\\ql";
    }
    return out + ' ';
}

// One run of text as a group, so its character formatting ends with it.
void AppendRun(QByteArray& out, TRtfTables& tables, const QTextCharFormat& format,
               const QFont& defaultFont, QStringView text)
{
    QByteArray escaped;
    AppendText(escaped, text);
    if (escaped.isEmpty())
        return;
    const QFont font = format.font().resolve(defaultFont);
    AppendNumber(out, "{\\f", tables.FontIndex(font.family()));
    AppendNumber(out, "\\fs", HalfPoints(font));
    if (font.bold())
        out += "\\b";
    if (font.italic())
        out += "\\i";
    if (font.underline())
        out += "\\ul";
    if (font.strikeOut())
        out += "\\strike";
    if (const int colour = tables.ColourIndex(format.foreground()); colour != 0)
        AppendNumber(out, "\\cf", colour);
    out += ' ';
    out += escaped;
    out += '}';
}

// What the list draws in front of an item. Qt draws bullets itself and gives them no text
// (only the number suffix), so they become the matching characters.
QString ListMarker(const QTextBlock& block)
{
    const QTextList* list = block.textList();
    if (!list)
        return {};
    switch (list->format().style()) {
    case QTextListFormat::ListDisc:
        return QStringLiteral("\u2022 ");
    case QTextListFormat::ListCircle:
        return QStringLiteral("\u25e6 ");
    case QTextListFormat::ListSquare:
        return QStringLiteral("\u25aa ");
    default:
        return list->itemText(block) + u' ';
    }
}

} // namespace

QByteArray TRtfWriter::Write(const QTextDocument& document)
{
    const QFont defaultFont = document.defaultFont();
    TRtfTables tables(defaultFont.family());

    QByteArray body;
    // \pard leaves character formatting alone, so empty paragraphs take the size set here.
    AppendNumber(body, "\\f", 0);
    AppendNumber(body, "\\fs", HalfPoints(defaultFont));
    body += "\r\n";
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block != document.begin())
            body += "\\par\r\n";
        body += ParagraphStart(block);
        if (const QString marker = ListMarker(block); !marker.isEmpty())
            AppendRun(body, tables, block.charFormat(), defaultFont, marker);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.isValid())
                AppendRun(body, tables, fragment.charFormat(), defaultFont, fragment.text());
        }
    }

    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0";
    out += tables.FontTable();
    out += tables.ColourTable();
    out += "\\viewkind4\\uc1";
    out += body;
    out += "\r\n}";
    return out;
}

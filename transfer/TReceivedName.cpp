#include "transfer/TReceivedName.h"

#include <QStringDecoder>

namespace {

std::optional<QString> Refuse(QString* reason, const char* why)
{
    if (reason)
        *reason = QString::fromLatin1(why);
    return std::nullopt;
}

// Stateless, so that a sequence cut off at the end is an error rather than held back; an
// initial byte order mark stays a character, so no sent byte vanishes unseen.
constexpr QStringConverter::Flags DecodeFlags =
    QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;

QString Decode(const QByteArray& wire)
{
    QStringDecoder utf8(QStringConverter::Utf8, DecodeFlags);
    QString text = utf8.decode(wire);
    if (!utf8.hasError())
        return text;
    // Its undefined bytes decode to C1 controls, which are refused below.
    QStringDecoder windows("windows-1252", DecodeFlags);
    if (windows.isValid()) {
        text = windows.decode(wire);
        if (!windows.hasError())
            return text;
    }
    return QString::fromLatin1(wire);
}

bool IsDirectionControl(char16_t c)
{
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

std::optional<QString> TReceivedName::Clean(const QByteArray& wire, QString* reason)
{
    if (wire.isEmpty())
        return Refuse(reason, "an empty name");
    // Neither decoder makes a lone surrogate (UTF-8 refuses encoded ones, the others are
    // single-byte), so the name encodes back to exactly one file name.
    const QString text = Decode(wire);
    for (const QChar c : text) {
        switch (c.category()) {
        case QChar::Other_Control:
            return Refuse(reason, "a control character in the name");
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return Refuse(reason, "a line break in the name");
        case QChar::Other_Format:
            // Zero-width and other invisible characters make two names look alike.
            if (IsDirectionControl(c.unicode()))
                return Refuse(reason, "a text direction control in the name");
            return Refuse(reason, "an invisible character in the name");
        default:
            break;
        }
    }
    const qsizetype slash = qMax(text.lastIndexOf(u'/'), text.lastIndexOf(u'\\'));
    QString name = text.mid(slash + 1);
    if (name.isEmpty())
        return Refuse(reason, "no name after the folder");
    if (name == u"." || name == u"..")
        return Refuse(reason, "a name that means a folder");
    // Never a hidden file (".bashrc" is stored as "bashrc").
    while (name.startsWith(u'.'))
        name.remove(0, 1);
    if (name.isEmpty())
        return Refuse(reason, "a name of dots only");
    if (name.toUtf8().size() > MaxBytes)
        return Refuse(reason, "a name over 255 bytes");
    if (name.startsWith(u"parlavue-", Qt::CaseInsensitive) &&
        name.endsWith(u".spool", Qt::CaseInsensitive))
        return Refuse(reason, "the name of a spool file");
    return name;
}

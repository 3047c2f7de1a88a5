#include "capture/THexText.h"

namespace {

int DigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

} // namespace

QString THexText::Encode(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex().toUpper());
}

QByteArray THexText::Decode(QStringView text)
{
    const qsizetype count = (text.size() + 1) / 2;
    QByteArray bytes(count, '\0');
    // Odd text is read as "0" + text; the pad shifts every later index by one.
    const qsizetype pad = text.size() % 2;
    auto digitAt = [&](qsizetype i) { return i < pad ? 0 : DigitValue(text[i - pad]); };
    for (qsizetype b = 0; b < count; ++b) {
        const int high = digitAt(2 * b);
        const int low = digitAt(2 * b + 1);
        if (high < 0 || low < 0)
            break;
        bytes[b] = static_cast<char>(high << 4 | low);
    }
    return bytes;
}

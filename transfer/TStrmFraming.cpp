#include "transfer/TStrmFraming.h"

namespace TStrmFraming {

QByteArray Acknowledgement()
{
    return QByteArrayLiteral("OK              ");
}

QByteArray NameHeader(const QByteArray& name)
{
    const QByteArray framed = name.left(MaxName);
    return QByteArray::number(framed.size()).rightJustified(NameLengthSize, '0') + framed;
}

QByteArray BodyLength(qint64 length)
{
    return QByteArray::number(length).rightJustified(BodyLengthSize, ' ');
}

std::optional<qint32> ParseLength(const QByteArray& field)
{
    qsizetype i = 0;
    while (i < field.size() && field[i] == ' ')
        ++i;
    if (i == field.size())
        return std::nullopt;
    // Digits only: no copy ever writes a sign, and a negative length has no meaning.
    qint64 value = 0;
    for (; i < field.size(); ++i) {
        const char c = field[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > MaxBody)
            return std::nullopt;
    }
    return qint32(value);
}

} // namespace TStrmFraming

#include "platform/ini/TIniText.h"

#include <QList>

namespace {

struct Line
{
    qsizetype begin = 0; // offset of the first byte
    qsizetype end = 0;   // offset after the last byte, line break excluded
    qsizetype next = 0;  // offset of the following line
};

QList<Line> SplitLines(const QByteArray& content)
{
    QList<Line> lines;
    qsizetype pos = 0;
    while (pos < content.size()) {
        qsizetype nl = content.indexOf('\n', pos);
        Line line;
        line.begin = pos;
        line.next = nl < 0 ? content.size() : nl + 1;
        line.end = nl < 0 ? content.size() : nl;
        if (line.end > line.begin && content.at(line.end - 1) == '\r')
            --line.end;
        lines.append(line);
        pos = line.next;
    }
    return lines;
}

QString Text(const QByteArray& content, const Line& line)
{
    return QString::fromUtf8(content.constData() + line.begin, line.end - line.begin);
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<QString> SectionName(const QString& line)
{
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return std::nullopt;
    qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        close = t.size();
    return t.mid(1, close - 1).trimmed();
}

bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Index range [first, last) of the lines of the first matching section's body, or nothing.
std::optional<std::pair<qsizetype, qsizetype>>
FindSection(const QByteArray& content, const QList<Line>& lines, const QString& section)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        auto name = SectionName(Text(content, lines[i]));
        if (!name || !SameName(*name, section))
            continue;
        qsizetype j = i + 1;
        while (j < lines.size() && !SectionName(Text(content, lines[j])))
            ++j;
        return std::make_pair(i + 1, j);
    }
    return std::nullopt;
}

// The key and value of a "key=value" line.
std::optional<std::pair<QString, QString>> KeyValue(const QString& line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return std::nullopt;
    return std::make_pair(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
}

QByteArray LineBreakOf(const QByteArray& content)
{
    return content.contains("\r\n") ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
}

} // namespace

std::optional<QString> TIniText::Find(const QByteArray& content, const QString& section,
                                      const QString& key)
{
    const QList<Line> lines = SplitLines(content);
    auto body = FindSection(content, lines, section);
    if (!body)
        return std::nullopt;
    for (qsizetype i = body->first; i < body->second; ++i) {
        auto kv = KeyValue(Text(content, lines[i]));
        if (!kv || !SameName(kv->first, key))
            continue;
        QString value = kv->second;
        if (value.size() >= 2 &&
            (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')) &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return std::nullopt;
}

QByteArray TIniText::Replace(const QByteArray& content, const QString& section, const QString& key,
                             const QString& value)
{
    QString flat = value;
    flat.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QByteArray br = LineBreakOf(content);
    const QByteArray keyLine = key.toUtf8() + '=' + flat.toUtf8();
    const QList<Line> lines = SplitLines(content);

    auto body = FindSection(content, lines, section);
    if (!body) {
        QByteArray out = content;
        if (!out.isEmpty() && !out.endsWith('\n'))
            out += br;
        out += '[' + section.toUtf8() + ']' + br + keyLine + br;
        return out;
    }
    qsizetype lastFilled = body->first - 1; // the header line when the section is empty
    for (qsizetype i = body->first; i < body->second; ++i) {
        const QString text = Text(content, lines[i]);
        auto kv = KeyValue(text);
        if (kv && SameName(kv->first, key))
            return content.left(lines[i].begin) + keyLine + content.mid(lines[i].end);
        if (!text.trimmed().isEmpty())
            lastFilled = i;
    }
    // New key right after the section's last non-blank line.
    const Line& after = lines[lastFilled];
    QByteArray out = content.left(after.next);
    if (!out.endsWith('\n')) // that line was the last one and had no line break
        out += br;
    out += keyLine + br;
    out += content.mid(after.next);
    return out;
}

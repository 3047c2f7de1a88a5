#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The INI text itself: finding a value and replacing one key in the raw bytes of a file.
// Works on bytes so that lines it does not touch stay exactly as they were.
class TIniText
{
public:
    // The value of the first matching key in the first matching section, trimmed, with one
    // pair of enclosing quotes removed; nothing when the section or key is missing.
    static std::optional<QString> Find(const QByteArray& content, const QString& section,
                                       const QString& key);

    // The content with section/key set to value: an existing key line is replaced, a missing
    // key goes after the section's last line, a missing section is appended. Line breaks in
    // the value are turned into spaces so a value can never add lines of its own.
    static QByteArray Replace(const QByteArray& content, const QString& section, const QString& key,
                              const QString& value);
};

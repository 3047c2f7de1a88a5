#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Private-profile style INI file: one object per handler, opened by name, read and written one
// key at a time. Section and key names compare without regard to case; a missing file, section
// or key gives the default; a write keeps every other line byte for byte and replaces the file
// atomically, so a failed write never leaves a half-written file behind.
class TIniFile
{
public:
    // Reads see at most this many characters of a value (a 2048-character buffer with its NUL).
    static constexpr int MaxValueLength = 2047;
    // A file larger than this is not an INI file of ours; reads give defaults, writes refuse.
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

    explicit TIniFile(QString fileName);

    const QString& FileName() const { return fileName_; }

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // "0x" followed by hexadecimal digits (more than two characters) or a decimal number;
    // anything else, or a number outside 32 bits, gives the default.
    int ReadInteger(const QString& section, const QString& key, int def) const;
    bool ReadBool(const QString& section, const QString& key, bool def) const;

    // Throws EIniFileException("Unable to write to <file>") when the file cannot be written.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);

    // The integer rule of ReadInteger, for callers that hold text already.
    static std::optional<int> ParseInteger(const QString& text);

private:
    enum class Load
    {
        Ok,
        Missing,
        Failed
    };
    Load LoadContent() const;
    [[noreturn]] void FailWrite(const QString& why) const;

    QString fileName_;
    mutable std::optional<QByteArray> content_; // the file as last read or written
    mutable Load loadState_ = Load::Missing;
};

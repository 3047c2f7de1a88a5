#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The name a peer sent with a stream message, made fit to be one entry in the receive folder.
// Anyone can send one, so it is read as untrusted: whatever comes back names a file in that
// folder and nothing else, and cannot be one of the files the receiver itself writes there.
struct TReceivedName
{
    // The UTF-8 encoding of a name is at most this long (NAME_MAX on Linux).
    static constexpr int MaxBytes = 255;

    // The bare file name a received message is stored under, or nothing when the name is
    // refused; reason then says why in a few words for the log and the status line
    // (e.g. "an empty name", "a control character in the name", "a name over 255 bytes").
    // The bytes are read as UTF-8 when they are valid UTF-8, else as Windows-1252 (what a
    // Windows copy sends); only what follows the last "/" or "\" is kept. Refused: nothing or
    // "." or ".." left, a control character or line break anywhere in the sent name (so
    // "a\r\nb" is refused, not cut), a text direction control (it makes the shown name lie
    // about its end) or any other invisible format character (zero-width ones make two names
    // look alike), over MaxBytes, and the form of our own spool files ("parlavue-*.spool", in
    // any case), which could replace a body still being received. Leading dots are dropped, so
    // a received file is never hidden; a name of dots only is refused.
    static std::optional<QString> Clean(const QByteArray& wire, QString* reason = nullptr);
};

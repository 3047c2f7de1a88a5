#pragma once

#include <QString>
#include <QtGlobal>

// What the progress bar under the status line says about a transfer under way.
struct TTransferProgress
{
    qint64 done = 0;
    qint64 total = 0;
    qint64 elapsedMs = 0;

    // 0..100; 100 for an empty body.
    int Percent() const;
    // Bytes per second so far; 0 before any time has passed.
    double Rate() const;
    // "42 % · 85.3 MB/s · 0:12 left"; the time left is left out until a rate is known.
    QString Text() const;
};

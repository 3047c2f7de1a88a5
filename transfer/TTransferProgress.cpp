#include "transfer/TTransferProgress.h"

int TTransferProgress::Percent() const
{
    if (total <= 0)
        return 100;
    return int(qBound(qint64(0), done * 100 / total, qint64(100)));
}

double TTransferProgress::Rate() const
{
    if (elapsedMs <= 0)
        return 0;
    return double(qMax<qint64>(0, done)) * 1000.0 / double(elapsedMs);
}

QString TTransferProgress::Text() const
{
    QString text = QStringLiteral("%1 %").arg(Percent());
    const double rate = Rate();
    if (rate <= 0)
        return text;
    text += QStringLiteral(" \u00b7 %1 MB/s").arg(rate / 1e6, 0, 'f', 1);
    const qint64 left = qint64((double(qMax<qint64>(0, total - done)) / rate) + 0.5);
    if (left >= 3600)
        text += QStringLiteral(" \u00b7 %1:%2:%3 left")
                    .arg(left / 3600)
                    .arg(left / 60 % 60, 2, 10, QLatin1Char('0'))
                    .arg(left % 60, 2, 10, QLatin1Char('0'));
    else
        text += QStringLiteral(" \u00b7 %1:%2 left")
                    .arg(left / 60)
                    .arg(left % 60, 2, 10, QLatin1Char('0'));
    return text;
}

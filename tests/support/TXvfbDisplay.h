#pragma once

#include <QProcess>
#include <QSize>
#include <QString>

// An X display of the test's own (Xvfb on a free display number), ended with the object.
class TXvfbDisplay
{
public:
    explicit TXvfbDisplay(QSize size);
    ~TXvfbDisplay();
    TXvfbDisplay(const TXvfbDisplay&) = delete;
    TXvfbDisplay& operator=(const TXvfbDisplay&) = delete;

    // ":N"; empty when Xvfb is not installed or did not start.
    QString Name() const { return name_; }
    QString Error() const { return error_; }

private:
    QProcess server_;
    QString name_;
    QString error_;
};

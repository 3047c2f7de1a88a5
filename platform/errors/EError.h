#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// Base of every failure the program raises on purpose; the message is the text a user sees.
class EError : public std::exception
{
public:
    explicit EError(QString message) : message_(std::move(message)), utf8_(message_.toUtf8()) {}

    const QString& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString message_;
    QByteArray utf8_;
};

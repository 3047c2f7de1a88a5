#pragma once

#include <QApplication>
#include <exception>

// The application object: holds the title that message boxes carry, and shows any exception
// that escapes an event handler in the general error box instead of letting it unwind
// through Qt's event loop.
class TApplication : public QApplication
{
public:
    TApplication(int& argc, char** argv);

    static QString Title();
    static void SetTitle(const QString& title);

    // The general error box for a failure that ended a handler.
    static void ShowException(const std::exception_ptr& error);

    bool notify(QObject* receiver, QEvent* event) override;
};

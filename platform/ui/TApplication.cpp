#include "platform/ui/TApplication.h"

#include "platform/errors/EError.h"
#include "platform/logging/Logging.h"
#include "platform/ui/TAccessibility.h"
#include "platform/ui/TUiServices.h"

#include <QCoreApplication>

namespace {
QString& TitleText()
{
    static QString title;
    return title;
}
} // namespace

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    TAccessibility::InstallWindowRoles();
}

QString TApplication::Title()
{
    return TitleText();
}

void TApplication::SetTitle(const QString& title)
{
    TitleText() = title;
}

void TApplication::ShowException(const std::exception_ptr& error)
{
    QString text;
    try {
        std::rethrow_exception(error);
    } catch (const EError& e) {
        text = e.Message();
    } catch (const std::exception& e) {
        text = QString::fromUtf8(e.what());
    } catch (...) {
        text = QCoreApplication::translate("TApplication", "Unknown error.");
    }
    qCWarning(lcApp) << "handler failed:" << text;
    Ui().Error(text);
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowException(std::current_exception());
        return false;
    }
}

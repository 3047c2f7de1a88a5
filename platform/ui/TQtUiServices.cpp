#include "platform/ui/TQtUiServices.h"

#include "platform/ui/TPropertyFrame.h"

#include "platform/logging/Logging.h"
#include "platform/ui/TApplication.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

QWidget* DialogParent()
{
    return QApplication::activeWindow();
}

void Box(QMessageBox::Icon icon, const QString& text, const QString& caption = {})
{
    qCDebug(lcUi) << "message box:" << text;
    QMessageBox box(icon, caption.isEmpty() ? TApplication::Title() : caption, text,
                    QMessageBox::Ok, DialogParent());
    box.exec();
}

} // namespace

void TQtUiServices::ShowMessage(const QString& text)
{
    Box(QMessageBox::NoIcon, text);
}

void TQtUiServices::Information(const QString& text)
{
    Box(QMessageBox::Information, text);
}

void TQtUiServices::Warning(const QString& text)
{
    Box(QMessageBox::Warning, text);
}

void TQtUiServices::Error(const QString& text)
{
    Box(QMessageBox::Critical, text);
}

void TQtUiServices::CaptionedError(const QString& caption, const QString& text)
{
    Box(QMessageBox::Critical, text, caption);
}

bool TQtUiServices::Confirm(const QString& text)
{
    qCDebug(lcUi) << "confirmation:" << text;
    QMessageBox box(QMessageBox::Question, TApplication::Title(), text,
                    QMessageBox::Yes | QMessageBox::No, DialogParent());
    return box.exec() == QMessageBox::Yes;
}

bool TQtUiServices::WarningConfirm(const QString& text)
{
    qCDebug(lcUi) << "warning confirmation:" << text;
    QMessageBox box(QMessageBox::Warning, TApplication::Title(), text,
                    QMessageBox::Yes | QMessageBox::No, DialogParent());
    return box.exec() == QMessageBox::Yes;
}

bool TQtUiServices::RiskConfirm(const QString& text)
{
    qCDebug(lcUi) << "warning confirmation:" << text;
    QMessageBox box(QMessageBox::Warning, TApplication::Title(), text,
                    QMessageBox::Yes | QMessageBox::No, DialogParent());
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString TQtUiServices::QtFilter(const QString& classicFilter)
{
    const QStringList parts = classicFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    return filters.join(QStringLiteral(";;"));
}

std::optional<QStringList> TQtUiServices::OpenFiles(const TOpenFileRequest& request)
{
    const QString filter = QtFilter(request.filter);
    QStringList files;
    if (request.multiSelect) {
        files = QFileDialog::getOpenFileNames(DialogParent(), request.title, request.initialFile,
                                              filter);
    } else {
        const QString file = QFileDialog::getOpenFileName(DialogParent(), request.title,
                                                          request.initialFile, filter);
        if (!file.isEmpty())
            files << file;
    }
    if (files.isEmpty())
        return std::nullopt;
    return files;
}

std::optional<QString> TQtUiServices::PickFolder(const QString& title)
{
    const QString folder = QFileDialog::getExistingDirectory(DialogParent(), title);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

std::optional<QString> TQtUiServices::InputBox(const QString& caption, const QString& prompt,
                                               const QString& value)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(DialogParent(), caption, prompt, QLineEdit::Normal, value, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

void TQtUiServices::ShowPropertyFrame(const QString& caption,
                                      const std::vector<PropertyPagePtr>& pages)
{
    qCDebug(lcUi) << "property frame:" << caption << pages.size() << "pages";
    TPropertyFrame frame(caption, pages, DialogParent());
    frame.move(frame.parentWidget() ? frame.parentWidget()->mapToGlobal(QPoint(30, 30))
                                    : QPoint(30, 30));
    frame.exec();
}

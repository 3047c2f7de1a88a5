#pragma once

#include "platform/ui/IPropertyPage.h"

#include <QString>
#include <QStringList>
#include <optional>

// What a file-open dialog is asked for. The filter is written the classic way,
// "Description|*.a;*.b|Other|*.c", so callers keep the texts the user knows.
struct TOpenFileRequest
{
    QString title;
    QString initialFile;
    QString filter;
    bool multiSelect = false;
};

// The one door through which the program asks the user something modally. Tests replace it
// with a script that records every text and gives the answers.
class IUiServices
{
public:
    virtual ~IUiServices() = default;

    virtual void ShowMessage(const QString& text) = 0; // plain box, OK only
    virtual void Information(const QString& text) = 0;
    virtual void Warning(const QString& text) = 0;
    virtual void Error(const QString& text) = 0;
    // An error box with its own caption instead of the program's title.
    virtual void CaptionedError(const QString& caption, const QString& text) = 0;
    virtual bool Confirm(const QString& text) = 0; // Yes/No; true for Yes
    // A warning that asks Yes/No; true for Yes.
    virtual bool WarningConfirm(const QString& text) = 0;
    // The same for a risk the user may take: No is the default, so Enter does not say yes.
    virtual bool RiskConfirm(const QString& text) { return WarningConfirm(text); }

    // The chosen files' full paths, or nothing when the user cancels.
    virtual std::optional<QStringList> OpenFiles(const TOpenFileRequest& request) = 0;
    // The chosen folder's full path, or nothing when the user cancels.
    virtual std::optional<QString> PickFolder(const QString& title) = 0;
    // The text entered, or nothing when the user cancels.
    virtual std::optional<QString> InputBox(const QString& caption, const QString& prompt,
                                            const QString& value) = 0;
    // An object's settings pages, modally; changes take effect as they are made.
    virtual void ShowPropertyFrame(const QString& caption,
                                   const std::vector<PropertyPagePtr>& pages) = 0;
};

#pragma once

#include "platform/ui/IUiServices.h"

// The real dialogs: message boxes captioned with the application title, Qt file dialogs.
class TQtUiServices : public IUiServices
{
public:
    void ShowMessage(const QString& text) override;
    void Information(const QString& text) override;
    void Warning(const QString& text) override;
    void Error(const QString& text) override;
    void CaptionedError(const QString& caption, const QString& text) override;
    bool Confirm(const QString& text) override;
    bool WarningConfirm(const QString& text) override;
    bool RiskConfirm(const QString& text) override;
    std::optional<QStringList> OpenFiles(const TOpenFileRequest& request) override;
    std::optional<QString> PickFolder(const QString& title) override;
    std::optional<QString> InputBox(const QString& caption, const QString& prompt,
                                    const QString& value) override;
    void ShowPropertyFrame(const QString& caption,
                           const std::vector<PropertyPagePtr>& pages) override;

    // "Text|*.a;*.b|..." as Qt writes it: "Text (*.a *.b);;...".
    static QString QtFilter(const QString& classicFilter);
};

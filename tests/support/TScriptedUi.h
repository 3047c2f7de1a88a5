#pragma once

#include "platform/ui/IUiServices.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <deque>
#include <memory>
#include <optional>

// Stands in for every modal dialog: records what the program asked and answers from a script.
// An unscripted question is answered "No" / cancelled, and recorded like the rest.
class TScriptedUi : public IUiServices
{
public:
    struct Shown
    {
        QString kind; // "message", "information", "warning", "error", "confirm", "open", "folder",
                      // "input"
        QString text; // message text, dialog title or prompt
        QString detail; // filter, initial value, an error box's own caption, or "warning" for a
                        // warning that asks
    };

    QList<Shown> shown;
    QStringList openTitles; // each file-open dialog's title, in order
    std::deque<bool> confirmAnswers;
    std::deque<std::optional<QStringList>> fileAnswers;
    std::deque<std::optional<QString>> folderAnswers;
    std::deque<std::optional<QString>> inputAnswers;
    // What the user does in the next property frames: each frame takes the front entry, sets
    // each (page title, control key, value) in order and closes. Refused settings are noted.
    struct TPropertyChange
    {
        QString page;
        QString key;
        QVariant value;
    };
    std::deque<std::vector<TPropertyChange>> propertyAnswers;
    QStringList refusedProperties; // "page/key" of each refused change
    // Each frame's page titles, in order.
    QList<QStringList> propertyFrames;
    // The controls each page offered when its frame opened, by page title.
    QHash<QString, std::vector<TPropertyControl>> propertyControls;

    // Texts shown of one kind, in order.
    QStringList Texts(const QString& kind) const;

    void ShowMessage(const QString& text) override;
    void Information(const QString& text) override;
    void Warning(const QString& text) override;
    void Error(const QString& text) override;
    void CaptionedError(const QString& caption, const QString& text) override;
    bool Confirm(const QString& text) override;
    bool WarningConfirm(const QString& text) override;
    std::optional<QStringList> OpenFiles(const TOpenFileRequest& request) override;
    std::optional<QString> PickFolder(const QString& title) override;
    std::optional<QString> InputBox(const QString& caption, const QString& prompt,
                                    const QString& value) override;
    void ShowPropertyFrame(const QString& caption,
                           const std::vector<PropertyPagePtr>& pages) override;
};

// Installs a script for as long as it lives.
class TScriptedUiScope
{
    std::unique_ptr<IUiServices> previous_; // declared first: ui's initialisation fills it

public:
    TScriptedUiScope();
    ~TScriptedUiScope();
    TScriptedUi& ui;
};

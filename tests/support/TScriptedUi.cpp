#include "tests/support/TScriptedUi.h"

#include "platform/ui/TUiServices.h"

template <class T> static T Next(std::deque<T>& answers, T fallback)
{
    if (!answers.empty()) {
        fallback = std::move(answers.front());
        answers.pop_front();
    }
    return fallback;
}

QStringList TScriptedUi::Texts(const QString& kind) const
{
    QStringList texts;
    for (const Shown& s : shown)
        if (s.kind == kind)
            texts << s.text;
    return texts;
}

void TScriptedUi::ShowMessage(const QString& text)
{
    shown.append({QStringLiteral("message"), text, {}});
}

void TScriptedUi::Information(const QString& text)
{
    shown.append({QStringLiteral("information"), text, {}});
}

void TScriptedUi::Warning(const QString& text)
{
    shown.append({QStringLiteral("warning"), text, {}});
}

void TScriptedUi::Error(const QString& text)
{
    shown.append({QStringLiteral("error"), text, {}});
}

void TScriptedUi::CaptionedError(const QString& caption, const QString& text)
{
    shown.append({QStringLiteral("error"), text, caption});
}

bool TScriptedUi::Confirm(const QString& text)
{
    shown.append({QStringLiteral("confirm"), text, {}});
    return Next(confirmAnswers, false);
}

bool TScriptedUi::WarningConfirm(const QString& text)
{
    // Answered from the same script as the plain question; told apart by its detail.
    shown.append({QStringLiteral("confirm"), text, QStringLiteral("warning")});
    return Next(confirmAnswers, false);
}

std::optional<QStringList> TScriptedUi::OpenFiles(const TOpenFileRequest& request)
{
    shown.append({QStringLiteral("open"), request.initialFile, request.filter});
    openTitles << request.title;
    return Next<std::optional<QStringList>>(fileAnswers, std::nullopt);
}

std::optional<QString> TScriptedUi::PickFolder(const QString& title)
{
    shown.append({QStringLiteral("folder"), title, {}});
    return Next<std::optional<QString>>(folderAnswers, std::nullopt);
}

std::optional<QString> TScriptedUi::InputBox(const QString& caption, const QString& prompt,
                                             const QString& value)
{
    shown.append({QStringLiteral("input"), caption + QLatin1Char('|') + prompt, value});
    return Next<std::optional<QString>>(inputAnswers, std::nullopt);
}

namespace {
TScriptedUi& Install(std::unique_ptr<IUiServices>& previous)
{
    auto script = std::make_unique<TScriptedUi>();
    TScriptedUi& ref = *script;
    previous = TUiServices::Install(std::move(script));
    return ref;
}
} // namespace

TScriptedUiScope::TScriptedUiScope() : ui(Install(previous_)) {}

TScriptedUiScope::~TScriptedUiScope()
{
    TUiServices::Install(std::move(previous_));
}

void TScriptedUi::ShowPropertyFrame(const QString& caption,
                                    const std::vector<PropertyPagePtr>& pages)
{
    QStringList titles;
    for (const PropertyPagePtr& page : pages) {
        titles << page->Title();
        propertyControls.insert(page->Title(), page->Controls());
    }
    shown.append({QStringLiteral("properties"), caption, titles.join(QLatin1Char('|'))});
    propertyFrames << titles;
    for (const TPropertyChange& change : Next(propertyAnswers, std::vector<TPropertyChange>{})) {
        bool done = false;
        for (const PropertyPagePtr& page : pages)
            if (page->Title() == change.page) {
                done = page->SetValue(change.key, change.value);
                break;
            }
        if (!done)
            refusedProperties << change.page + QLatin1Char('/') + change.key;
    }
}

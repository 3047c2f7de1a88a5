#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;

// The program's texts, and Qt's own (the standard buttons), in the user's language.
class TTranslations
{
public:
    // Installs on app the catalogs of the first of languages (as QLocale::uiLanguages() gives
    // them, most wanted first) that the program speaks; English, or a language before any
    // the program speaks, keeps the program's own English texts. Returns the language
    // installed ("de"), empty for English.
    static QString Install(QCoreApplication& app, const QStringList& languages);
};

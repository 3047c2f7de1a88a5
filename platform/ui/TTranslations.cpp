#include "platform/ui/TTranslations.h"

#include "platform/logging/Logging.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace {

// Where the build puts the compiled catalogs, inside the program.
const QString CatalogFolder = QStringLiteral(":/i18n");

} // namespace

QString TTranslations::Install(QCoreApplication& app, const QStringList& languages)
{
    for (const QString& language : languages) {
        const QLocale locale(language);
        // "C" and "en" are the texts the program is written in.
        if (locale.language() == QLocale::English || locale.language() == QLocale::C)
            return {};
        auto own = std::make_unique<QTranslator>(&app);
        // "parlavue_de_AT" falls back to "parlavue_de".
        if (!own->load(QStringLiteral("parlavue_") + locale.name(), CatalogFolder))
            continue;
        app.installTranslator(own.release());
        auto qt = std::make_unique<QTranslator>(&app);
        if (qt->load(QStringLiteral("qtbase_") + locale.name(),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            app.installTranslator(qt.release());
        else
            qCInfo(lcApp) << "no Qt catalog for" << locale.name();
        const QString name = QLocale::languageToCode(locale.language());
        qCInfo(lcApp) << "texts in" << name;
        return name;
    }
    return {};
}

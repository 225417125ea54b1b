#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

bool Translations::install(const QLocale &locale)
{
    auto *qt = new QTranslator(QCoreApplication::instance());
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    auto *own = new QTranslator(QCoreApplication::instance());
    // Built into the program, so a bundle cannot lose them.
    if (!own->load(locale, QStringLiteral("quorvantic"), QStringLiteral("_"),
                   QStringLiteral(":/i18n")))
        return false;
    QCoreApplication::installTranslator(own);
    return true;
}

bool Translations::install()
{
    return install(QLocale::system());
}

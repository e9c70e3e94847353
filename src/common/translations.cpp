#include "common/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace tallyra {

bool InstallQtTranslations(QCoreApplication& app) {
    // Every text of the programs is Chinese: a locale of another language would only give
    // dialogs that speak a different language from the window around them.
    const QLocale system = QLocale::system();
    const QLocale chosen =
        system.language() == QLocale::Chinese ? system : QLocale(QLocale::Chinese, QLocale::China);
    auto* qt = new QTranslator(&app);
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!qt->load(chosen, QStringLiteral("qtbase"), QStringLiteral("_"), dir) &&
        !qt->load(QStringLiteral("qtbase_zh_CN"), dir)) {
        delete qt;
        return false;
    }
    return QCoreApplication::installTranslator(qt);
}

}  // namespace tallyra

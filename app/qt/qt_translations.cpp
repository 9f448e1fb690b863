#include "app/qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {
// Qt's catalogue of its own widgets' texts in simplified Chinese.
constexpr char kQtBaseChinese[] = "qtbase_zh_CN";
}  // namespace

bool WantsChineseQtTexts(const QLocale& system) {
    // An unset locale (LANG empty, "C" or "POSIX") reads as the C locale.
    return system.language() == QLocale::Chinese || system.language() == QLocale::C;
}

QTranslator* InstallQtTranslations(QCoreApplication& app, const QLocale& system) {
    if (!WantsChineseQtTexts(system))
        return nullptr;
    auto* translator = new QTranslator(&app);
    if (!translator->load(QString::fromLatin1(kQtBaseChinese),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

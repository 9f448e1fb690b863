#include "app/qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstring>

#include "res/qt_text_gaps.h"

namespace {

// Qt's catalogue of its own widgets' texts in simplified Chinese.
constexpr char kQtBaseChinese[] = "qtbase_zh_CN";

// Qt's catalogue with its gaps filled (res/qt_text_gaps.h).
class CQtChineseTexts : public QTranslator {
public:
    explicit CQtChineseTexts(QObject* parent) : QTranslator(parent) {}

    bool Load() {
        return m_qtBase.load(QString::fromLatin1(kQtBaseChinese),
                             QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    }

    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override {
        const QString text = m_qtBase.translate(context, sourceText, disambiguation, n);
        if (!text.isEmpty() || context == nullptr || sourceText == nullptr)
            return text;
        for (const QtTextGap& gap : kQtTextGaps) {
            if (std::strcmp(gap.context, context) == 0 && std::strcmp(gap.source, sourceText) == 0)
                return QString::fromUtf8(gap.chinese);
        }
        return {};
    }

    bool isEmpty() const override { return m_qtBase.isEmpty(); }

private:
    QTranslator m_qtBase;
};

}  // namespace

bool WantsChineseQtTexts(const QLocale& system) {
    // An unset locale (LANG empty, "C" or "POSIX") reads as the C locale.
    return system.language() == QLocale::Chinese || system.language() == QLocale::C;
}

QTranslator* InstallQtTranslations(QCoreApplication& app, const QLocale& system) {
    if (!WantsChineseQtTexts(system))
        return nullptr;
    auto* translator = new CQtChineseTexts(&app);
    if (!translator->Load() || !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

#pragma once
// Qt's own texts (the file-open dialog, a field's context menu, message box
// buttons) in Chinese, like every other text of the tool: Qt's zh_CN
// translations (Debian package qt6-translations-l10n) are loaded when the
// system locale is Chinese or unset, as on the line's stations.

#include <QLocale>

class QCoreApplication;
class QTranslator;

// Whether a system with locale `system` gets Qt's Chinese texts.
bool WantsChineseQtTexts(const QLocale& system);

// Installs Qt's zh_CN translations, with the texts they leave in English
// filled in (res/qt_text_gaps.h), into `app` when `system` wants them; the
// translator (owned by `app`), or nullptr when not wanted or not installed.
QTranslator* InstallQtTranslations(QCoreApplication& app, const QLocale& system);

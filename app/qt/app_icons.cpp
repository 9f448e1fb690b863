#include "app/qt/app_icons.h"

#include <QDir>
#include <QString>
#include <mutex>

// The compiled icons live in a library whose start-up registration a linker
// may drop when nothing names it; registering them here keeps them. (Outside
// any namespace: the macro declares the registration function.)
static void InitIconResources() {
    Q_INIT_RESOURCE(icons);
}

static void RegisterIcons() {
    static std::once_flag once;
    std::call_once(once, InitIconResources);
}

QIcon LoadResIcon(int id) {
    RegisterIcons();
    // Each icon is a folder of PNG files named after their size (res/icons.qrc).
    const QString folder = QStringLiteral(":/icons/%1").arg(id);
    QIcon icon;
    for (const QString& file : QDir(folder).entryList({QStringLiteral("*.png")}, QDir::Files)) {
        icon.addFile(folder + QLatin1Char('/') + file);
    }
    return icon;
}

#include "core/ui/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace pelmar::ui {

bool InstallToolkitTranslations(QCoreApplication& app) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    translator->setParent(&app);  // the application owns it from here
    QCoreApplication::installTranslator(translator.release());
    return true;
}

}  // namespace pelmar::ui

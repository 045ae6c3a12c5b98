#include "core/ui/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace pelmar::ui {

namespace {

// The toolkit moved the file type names of its file dialog ("Folder", "Drive", "%1 File") to a
// context of their own; the Russian translation still has them under the dialog's, so without
// this the dialog's type column reads "Folder".
class TMovedContexts : public QTranslator {
public:
    TMovedContexts(const QTranslator& base, QObject* parent) : QTranslator(parent), base_(base) {}

    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0) return {};
        return base_.translate("QFileDialog", source, disambiguation, n);
    }
    bool isEmpty() const override { return false; }

private:
    const QTranslator& base_;
};

}  // namespace

bool InstallToolkitTranslations(QCoreApplication& app) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    translator->setParent(&app);  // the application owns it from here
    QTranslator* base = translator.release();
    QCoreApplication::installTranslator(base);
    QCoreApplication::installTranslator(new TMovedContexts(*base, &app));
    return true;
}

}  // namespace pelmar::ui

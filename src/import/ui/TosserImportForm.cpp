#include "import/ui/TosserImportForm.h"

#include <QLabel>
#include <QVBoxLayout>

#include "areas/gizmo.h"

namespace pelmar::ui {
namespace {

bool IsFidoConfig(int kind) {
    return kind == LinkKindFidoConfig;
}

}  // namespace

TTosserImportForm::TTosserImportForm(int linkKind, QWidget* parent)
    : TImportDialog(IsFidoConfig(linkKind) ? QStringLiteral("Импорт конфигурации husky (fidoconfig)")
                                           : QStringLiteral("Импорт конфигурации CrashMail"),
                    IsFidoConfig(linkKind) ? QStringLiteral("Укажите файл конфигурации fidoconfig:")
                                           : QStringLiteral("Укажите файл конфигурации crashmail.prefs:"),
                    IsFidoConfig(linkKind) ? QStringLiteral("Файл конфигурации fidoconfig|*")
                                           : QStringLiteral("Файл конфигурации CrashMail|crashmail.prefs"),
                    IsFidoConfig(linkKind) ? "FidoConfigFile" : "CrashMailFile", QStringLiteral("Импорт"),
                    parent) {
    ExplainLabel =
        new QLabel(QStringLiteral("Импорт будет производиться в текущую область, при этом\n"
                                  "будут импортированы эхоконференции, нетмейл, bad- и dupe-области\n"
                                  "и собственные адреса; транзитные области пропускаются."),
                   this);
    Body->addWidget(ExplainLabel);
}

void TTosserImportForm::ApplyToGroup(TAreaInfo& group) const {
    TImportDialog::ApplyToGroup(group);
    // Every kind of area is taken; the bits match those of a Squish link.
    group.Read = 7;
}

}  // namespace pelmar::ui

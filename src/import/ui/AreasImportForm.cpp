#include "import/ui/AreasImportForm.h"

#include <QLabel>
#include <QVBoxLayout>

#include "areas/gizmo.h"
#include "import/ui/FileChooser.h"

namespace pelmar::ui {
namespace {

const char* const HudsonDirValue = "AreasHudsonDir";

}  // namespace

TAreasImportForm::TAreasImportForm(QWidget* parent)
    : TImportDialog(QStringLiteral("Импорт AREAS.BBS"),
                    QStringLiteral("Укажите файл конфигурации AREAS.BBS:"),
                    QStringLiteral("Файлы AREAS.BBS|AREAS.BBS"), "", QStringLiteral("OK"), parent) {
    HudsonLabel = new QLabel(QStringLiteral("Укажите путь к Hudson-базе:"), this);
    HudsonLabel->setObjectName(QStringLiteral("HudsonLabel"));
    HudsonChooser = new TFileChooser(TFileChooser::TMode::Directory, QString(), this);
    HudsonChooser->setObjectName(QStringLiteral("HudsonChooser"));
    HudsonLabel->setBuddy(HudsonChooser);
    Body->addWidget(HudsonLabel);
    Body->addWidget(HudsonChooser);
    SetHudsonDir(RememberedText(HudsonDirValue));
}

std::string TAreasImportForm::HudsonDir() const {
    return HudsonChooser->Path();
}

void TAreasImportForm::SetHudsonDir(const std::string& dir) {
    HudsonChooser->SetPath(dir);
}

void TAreasImportForm::PresetFromGroup(const TAreaInfo& group) {
    SetFileName(group.Path);
    if (group.Description.empty()) return;
    SetHudsonDir(group.Description);
    Remember = false;
}

void TAreasImportForm::ApplyToGroup(TAreaInfo& group) const {
    TImportDialog::ApplyToGroup(group);
    group.Description = HudsonDir();
}

void TAreasImportForm::SaveMemory() const {
    RememberText(HudsonDirValue, HudsonDir());
}

}  // namespace pelmar::ui

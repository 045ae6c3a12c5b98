#include "import/ui/ImportDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "areas/gizmo.h"
#include "core/Settings.h"
#include "import/ui/FileChooser.h"
#include "platform/Registry.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

TImportDialog::TImportDialog(const QString& caption, const QString& fileLabel, const QString& filter,
                             const char* fileValue, const QString& okCaption, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), fileValue_(fileValue) {
    setWindowTitle(caption);
    setModal(true);
    FileLabel = new QLabel(fileLabel, this);
    FileLabel->setObjectName(QStringLiteral("FileLabel"));
    FileChooser = new TFileChooser(TFileChooser::TMode::ExistingFile, filter, this);
    FileChooser->setObjectName(QStringLiteral("FileChooser"));
    FileLabel->setBuddy(FileChooser);
    OKButton = new QPushButton(okCaption, this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Отмена"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FileLabel);
    layout->addWidget(FileChooser);
    Body = new QVBoxLayout;
    layout->addLayout(Body);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    GuardedConnect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
    GuardedConnect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    if (*fileValue_ != '\0') SetFileName(RememberedText(fileValue_));
}

int TImportDialog::ShowModal() {
    return exec() == QDialog::Accepted ? ModalOK : ModalCancel;
}

std::string TImportDialog::FileName() const {
    return FileChooser->Path();
}

void TImportDialog::SetFileName(const std::string& path) {
    FileChooser->SetPath(path);
}

void TImportDialog::PresetFromGroup(const TAreaInfo& group) {
    SetFileName(group.Path);
    Remember = false;
}

void TImportDialog::ApplyToGroup(TAreaInfo& group) const {
    group.Path = FileName();
}

void TImportDialog::SetOKCaption(const QString& caption) {
    OKButton->setText(caption);
}

void TImportDialog::done(int result) {
    if (result == QDialog::Accepted && Remember) {
        TRegistryBatch batch;
        if (*fileValue_ != '\0') RememberText(fileValue_, FileName());
        SaveMemory();
    }
    QDialog::done(result);
}

std::string TImportDialog::MemoryKey() {
    return "\\" + Settings.BaseKey + "\\AreaImport";
}

std::string TImportDialog::RememberedText(const char* name) {
    TRegistry reg;
    if (!reg.OpenKey(MemoryKey(), false) || reg.GetDataType(name) != RegDataType::rdString) return {};
    return reg.ReadString(name);
}

bool TImportDialog::RememberedFlag(const char* name, bool byDefault) {
    TRegistry reg;
    if (!reg.OpenKey(MemoryKey(), false) || reg.GetDataType(name) != RegDataType::rdInteger) return byDefault;
    return reg.ReadBool(name);
}

void TImportDialog::RememberText(const char* name, const std::string& value) {
    TRegistry reg;
    if (reg.OpenKey(MemoryKey(), true)) reg.WriteString(name, value);
}

void TImportDialog::RememberFlag(const char* name, bool value) {
    TRegistry reg;
    if (reg.OpenKey(MemoryKey(), true)) reg.WriteBool(name, value);
}

}  // namespace pelmar::ui

#include "editor/ui/UUDecodeForm.h"

#include <QAction>
#include <QFileDialog>
#include <QHeaderView>
#include <QPointer>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/ui/MessageBox.h"
#include "core/ui/QtText.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

TUUDecodeForm::TUUDecodeForm(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QString::fromUtf8("Файлы"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QToolBar(this);
    SaveAction =
        bar->addAction(QIcon::fromTheme(QStringLiteral("document-save")), QString::fromUtf8("Сохранить"));
    SaveAction->setObjectName(QStringLiteral("SaveAction"));
    RemoveAction =
        bar->addAction(QIcon::fromTheme(QStringLiteral("edit-delete")), QString::fromUtf8("Удалить"));
    layout->addWidget(bar);
    FileList = new QTreeWidget(this);
    FileList->setObjectName(QStringLiteral("FileList"));
    FileList->setRootIsDecorated(false);
    FileList->setHeaderLabels({QString::fromUtf8("Имя файла"), QString::fromUtf8("Секции")});
    FileList->header()->resizeSection(0, 140);
    FileList->header()->resizeSection(1, 60);
    layout->addWidget(FileList);
    GuardedConnect(SaveAction, &QAction::triggered, this, [this] { SaveSelected(); });
    GuardedConnect(RemoveAction, &QAction::triggered, this, [this] { RemoveSelected(); });
    GuardedConnect(FileList, &QTreeWidget::currentItemChanged, this, [this] { UpdateActions(); });
    resize(240, 200);
    UpdateActions();
}

void TUUDecodeForm::AddText(const std::string& text) {
    if (!decoder_.AddText(text)) ShowError(UUDuplicateFileText(), this);
    Refill();
}

void TUUDecodeForm::Refill() {
    const int keep = FileList->currentIndex().row();
    FileList->clear();
    for (const TFileInfo& f : decoder_.Files()) {
        auto* row = new QTreeWidgetItem(FileList);
        row->setText(0, ToQt(f.Name));
        row->setText(
            1, QString::number(f.SectionsDone) + QString::fromUtf8(" из ") + QString::number(f.SectionCount));
    }
    if (FileList->topLevelItemCount() > 0)
        FileList->setCurrentItem(
            FileList->topLevelItem(std::clamp(keep, 0, FileList->topLevelItemCount() - 1)));
    UpdateActions();
}

void TUUDecodeForm::UpdateActions() {
    const int row = FileList->currentIndex().row();
    const bool valid = row >= 0 && static_cast<size_t>(row) < decoder_.Files().size();
    SaveAction->setEnabled(valid && decoder_.Files()[static_cast<size_t>(row)].Complete());
    RemoveAction->setEnabled(valid);
}

bool TUUDecodeForm::SaveSelected(const QString& given) {
    const int row = FileList->currentIndex().row();
    if (row < 0 || static_cast<size_t>(row) >= decoder_.Files().size()) return false;
    if (!decoder_.Files()[static_cast<size_t>(row)].Complete()) return false;
    QString path = given;
    if (path.isEmpty())
        path = QFileDialog::getSaveFileName(
            this, QString(), ToQt(SafeFileName(decoder_.Files()[static_cast<size_t>(row)].Name)),
            QString::fromUtf8("Все файлы (*)"));
    // A cancelled dialog keeps the collected file: its sections may have taken many messages.
    if (path.isEmpty()) return false;
    std::string error;
    if (!decoder_.Save(static_cast<size_t>(row), FromQt(path), error)) {
        ShowError(error, this);
        return false;
    }
    Refill();
    return true;
}

void TUUDecodeForm::RemoveSelected() {
    const int row = FileList->currentIndex().row();
    if (row < 0 || static_cast<size_t>(row) >= decoder_.Files().size()) return;
    decoder_.Remove(static_cast<size_t>(row));
    Refill();
}

TUUDecodeForm* UUDecodeWindow(QWidget* parent) {
    static QPointer<TUUDecodeForm> window;
    if (window.isNull()) window = new TUUDecodeForm(parent);
    return window;
}

}  // namespace pelmar::ui

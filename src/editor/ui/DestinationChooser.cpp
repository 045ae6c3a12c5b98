#include "editor/ui/DestinationChooser.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "areas/AreaLifetime.h"
#include "areas/gizmo.h"
#include "core/ui/QtText.h"

namespace pelmar::ui {

bool ChooseDestinationList(QWidget* parent, std::vector<TAreaInfo*>& destinations) {
    TAreaManager* manager = AreaManager();
    if (manager == nullptr) return false;
    std::vector<TAreaInfo*> areas;
    for (TAreaInfo* e = manager->Root().NextInTree(); e != nullptr; e = e->NextInTree())
        if (e->Kind > 0 && e->Zilo == ZiloOrdinary) areas.push_back(e);

    QDialog dialog(parent);
    dialog.setWindowTitle(QString::fromUtf8("Послать сообщение"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QListWidget(&dialog);
    for (TAreaInfo* a : areas) {
        auto* row = new QListWidgetItem(ToQt(a->PathName()), list);
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        const bool chosen = std::find(destinations.begin(), destinations.end(), a) != destinations.end();
        row->setCheckState(chosen ? Qt::Checked : Qt::Unchecked);
    }
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Cancel)->setText(QString::fromUtf8("Отмена"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.resize(420, 360);
    if (dialog.exec() != QDialog::Accepted) return false;

    std::vector<TAreaInfo*> ticked;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked) ticked.push_back(areas[static_cast<size_t>(i)]);
    std::vector<TAreaInfo*> result;
    for (TAreaInfo* a : destinations)
        if (std::find(ticked.begin(), ticked.end(), a) != ticked.end()) result.push_back(a);
    for (TAreaInfo* a : ticked)
        if (std::find(result.begin(), result.end(), a) == result.end()) result.push_back(a);
    destinations = std::move(result);
    return true;
}

}  // namespace pelmar::ui

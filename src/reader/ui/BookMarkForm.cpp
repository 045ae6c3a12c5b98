#include "reader/ui/BookMarkForm.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QScreen>
#include <QVBoxLayout>

#include "core/Settings.h"
#include "core/ui/QtText.h"
#include "platform/Registry.h"
#include "reader/Bookmarks.h"
#include "reader/ui/Icons.h"
#include "reader/ui/MessageListModel.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

TBookMarkForm::TBookMarkForm(QWidget* owner, std::function<TBookmarkGoto(const std::string&)> gotoBookmark,
                             std::function<void()> addDropped)
    : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint),
      goto_(std::move(gotoBookmark)),
      addDropped_(std::move(addDropped)) {
    setObjectName(QStringLiteral("BookMarkForm"));
    setWindowTitle(QStringLiteral("Закладки"));
    setAcceptDrops(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    ListView1 = new QListWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setMouseTracking(true);
    ListView1->setCursor(Qt::PointingHandCursor);
    ListView1->setStyleSheet(QStringLiteral("QListWidget::item:hover { text-decoration: underline; }"));
    ListView1->setAcceptDrops(false);
    layout->addWidget(ListView1);
    GuardedConnect(ListView1, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { ClickRow(ListView1->row(item)); });

    PopupMenu = new QMenu(this);
    QAction* remove = PopupMenu->addAction(QStringLiteral("Удалить"), this, &TBookMarkForm::RemoveSelected);
    PopupMenu->addSeparator();
    PopupMenu->addAction(QStringLiteral("Очистить"), this, &TBookMarkForm::ClearAll);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    GuardedConnect(ListView1, &QWidget::customContextMenuRequested, this, [this, remove](const QPoint& pos) {
        if (QListWidgetItem* item = ListView1->itemAt(pos)) ListView1->setCurrentItem(item);
        remove->setEnabled(ListView1->currentItem() != nullptr && ListView1->currentItem()->isSelected());
        PopupMenu->popup(ListView1->viewport()->mapToGlobal(pos));
    });
    resize(300, 260);
    RestorePlace();
    Reload();
}

std::string TBookMarkForm::PlaceKey() {
    return "\\" + Settings.BaseKey + "\\BookMarkForm";
}

void TBookMarkForm::RestorePlace() {
    TRegistry reg;
    if (!reg.OpenKey(PlaceKey(), false)) return;
    try {
        for (const char* name : {"Left", "Top", "Width", "Height"})
            if (!reg.ValueExists(name)) return;
        const QRect place(reg.ReadInteger("Left"), reg.ReadInteger("Top"), reg.ReadInteger("Width"),
                          reg.ReadInteger("Height"));
        // A place from another screen layout would leave the window out of reach.
        if (place.width() < 80 || place.height() < 60) return;
        if (QScreen* screen = QGuiApplication::screenAt(place.center()); screen == nullptr) return;
        resize(place.size());
        move(place.topLeft());
    } catch (const std::exception&) {
        // A damaged value keeps the default place.
    }
}

void TBookMarkForm::StorePlace() const {
    TRegistry reg;
    if (!reg.OpenKey(PlaceKey(), true)) return;
    reg.WriteInteger("Left", x());
    reg.WriteInteger("Top", y());
    reg.WriteInteger("Width", width());
    reg.WriteInteger("Height", height());
}

void TBookMarkForm::hideEvent(QHideEvent* event) {
    StorePlace();
    QWidget::hideEvent(event);
}

void TBookMarkForm::Reload() {
    TBookmarks marks(Settings.BookMarkNames, Settings.BookMarkData);
    ListView1->clear();
    const QIcon icon = ListIcon(0);
    for (int i = 0; i < marks.Count(); ++i)
        ListView1->addItem(new QListWidgetItem(icon, ToQt(marks.Name(i))));
}

void TBookMarkForm::ClickRow(int row) {
    TBookmarks marks(Settings.BookMarkNames, Settings.BookMarkData);
    if (row < 0 || row >= marks.Count()) return;
    const std::string data = marks.Data(row);
    const TBookmarkGoto outcome = goto_ ? goto_(data) : TBookmarkGoto::Unavailable;
    // The list may have changed while going there; the bookmark is looked up again by its data.
    if (outcome == TBookmarkGoto::Gone) {
        TBookmarks now(Settings.BookMarkNames, Settings.BookMarkData);
        if (row < now.Count() && now.Data(row) == data) {
            now.Remove(row);
            now.Store();
            delete ListView1->takeItem(row);
        }
    }
    ListView1->clearSelection();
    if (QWidget* owner = parentWidget()) owner->activateWindow();
}

void TBookMarkForm::RemoveSelected() {
    const int row = ListView1->currentRow();
    if (row < 0) return;
    TBookmarks marks(Settings.BookMarkNames, Settings.BookMarkData);
    marks.Remove(row);
    marks.Store();
    delete ListView1->takeItem(row);
}

void TBookMarkForm::ClearAll() {
    TBookmarks marks(Settings.BookMarkNames, Settings.BookMarkData);
    marks.Clear();
    marks.Store();
    ListView1->clear();
}

void TBookMarkForm::showEvent(QShowEvent* event) {
    Settings.BMVisible = true;
    QWidget::showEvent(event);
}

void TBookMarkForm::closeEvent(QCloseEvent* event) {
    // Only the user closes it; the program's end leaves the setting as it was.
    Settings.BMVisible = false;
    hide();
    event->ignore();
}

void TBookMarkForm::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasFormat(QString::fromLatin1(TMessageListModel::RowsMimeType)))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TBookMarkForm::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasFormat(QString::fromLatin1(TMessageListModel::RowsMimeType)))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TBookMarkForm::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasFormat(QString::fromLatin1(TMessageListModel::RowsMimeType))) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    if (addDropped_) addDropped_();
}

}  // namespace pelmar::ui

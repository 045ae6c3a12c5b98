#pragma once
// "Закладки": a tool window on top of the others, listing the bookmarks. A click goes to the
// bookmark; rows dragged from the message list are added.
#include <QWidget>
#include <functional>
#include <string>

#include "reader/Bookmarks.h"

class QListWidget;
class QMenu;

namespace pelmar::ui {

class TBookMarkForm : public QWidget {
    Q_OBJECT

public:
    // `gotoBookmark` goes to the data's message and says how that ended; `addDropped` adds the rows
    // of the message list that were dropped.
    TBookMarkForm(QWidget* owner, std::function<TBookmarkGoto(const std::string& data)> gotoBookmark,
                  std::function<void()> addDropped);

    // Fills the list anew from the settings' bookmarks.
    void Reload();

private:
    QListWidget* ListView1 = nullptr;
    QMenu* PopupMenu = nullptr;

public:
    // Runs a click on row `row`.
    void ClickRow(int row);
    void RemoveSelected();
    void ClearAll();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The window's place is kept in the registry between runs.
    static std::string PlaceKey();
    void RestorePlace();
    void StorePlace() const;

    std::function<TBookmarkGoto(const std::string&)> goto_;
    std::function<void()> addDropped_;
};

}  // namespace pelmar::ui

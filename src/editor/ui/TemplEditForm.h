#pragma once
// "Редактирование шаблонов": a tree of the template sections, a text page with the macros that fit
// the section, a list page (with a library for origins and tearlines). Works on copies; "Сохранить"
// writes them all.
#include <QDialog>
#include <map>
#include <string>

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;
class QTreeWidget;

namespace pelmar::ui {

class TTemplEditForm : public QDialog {
    Q_OBJECT

public:
    explicit TTemplEditForm(QWidget* parent = nullptr);
    // Working copy of a section.
    std::string Section(const std::string& name) const;
    // Selects the tree node of the section (tests and the caller's focus).
    void SelectSection(const std::string& name);
    // Stores the page and writes every section; false when a write failed.
    bool Save();

private:
    QTreeWidget* Tree = nullptr;
    QPlainTextEdit* TextPage = nullptr;
    QTreeWidget* MacroList = nullptr;
    QListWidget* ListPage = nullptr;
    QListWidget* Library = nullptr;
    QWidget* LibraryBox = nullptr;
    QLabel* Caption = nullptr;

public:
    void CopyLibraryEntry();

private:
    void NodeChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    void StorePage(QTreeWidgetItem* node);
    std::map<std::string, std::string> copies_;
    QStackedWidget* pages_ = nullptr;
};

}  // namespace pelmar::ui

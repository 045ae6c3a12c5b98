#pragma once
// "Список узлов": every record of the compiled nodelist in name order, read only for the rows on
// screen, with a quick search by name prefix, a person search, adding to the address book and
// starting a netmail.
#include <QAbstractTableModel>
#include <QDialog>
#include <functional>
#include <string>

#include "nodelist/NodeRows.h"
#include "nodelist/NodeSearch.h"

class QLineEdit;
class QPushButton;
class QTableView;

namespace pelmar::ui {

// The virtual list: row i is record i; rows are read from the index and the source lines a screen
// at a time and kept until a row outside them is asked for.
class TNodeTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kPage = 100;

    TNodeTableModel(TNodeList& list, int hourOffset, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The texts of one row (CP1251), read when not cached.
    std::string Text(int row, int column) const;

private:
    TNodeList& list_;
    mutable TNodeRows rows_;
};

class TNodeBrowser : public QDialog {
    Q_OBJECT

public:
    TNodeBrowser(TNodeList& list, TAddressBook& book, QWidget* parent = nullptr);

    // Starts a netmail to the node (the editor's netmail-to-node mode). While it is not set, "Послать
    // письмо" stays disabled.
    std::function<void(const std::string& toName, const std::string& address)> SendLetter;

    int SelectedRow() const;
    void SelectRow(int row);

private:
    QLineEdit* QuickSearchEdit = nullptr;
    QTableView* ListView1 = nullptr;
    QPushButton* FindButton = nullptr;
    QPushButton* FindNextButton = nullptr;
    QPushButton* AddToBookButton = nullptr;
    QPushButton* SendButton = nullptr;
    QPushButton* CloseButton = nullptr;
    TNodeTableModel* Model = nullptr;

public:
    void QuickSearchChange(const QString& text);
    void FindButtonClick();
    // "Поиск" of the search dialog: a new search from the first record.
    void Search(const std::string& namePart, const std::string& mask);
    void FindNextButtonClick();
    void AddToBookButtonClick();
    void SendButtonClick();
    void UpdateButtons();

private:
    TNodeList& list_;
    TAddressBook& book_;
    TNodeSearch search_;
};

}  // namespace pelmar::ui

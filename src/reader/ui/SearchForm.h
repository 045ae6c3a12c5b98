#pragma once
// "Поиск": the pattern, its options and the areas to search, marked in a tree.
#include <QDialog>
#include <string>
#include <unordered_set>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTreeWidgetItem;

namespace pelmar {
class TAreaInfo;
}

namespace pelmar::ui {

class TAreaChooserTree;

class TSearchForm : public QDialog {
    Q_OBJECT

public:
    // Shows and changes `marked`, the IDs of the areas to search.
    TSearchForm(TAreaInfo& root, std::unordered_set<std::string>& marked, QWidget* parent = nullptr);

private:
    QLineEdit* Edit1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;  // "Учитывать регистр"
    QCheckBox* CheckBox2 = nullptr;  // "Искать в тексте письма"
    TAreaChooserTree* AreaTree = nullptr;
    QPushButton* SearchButton = nullptr;

public:
    // The pattern (CP1251) and its options: "Учитывать регистр", "Искать в тексте письма".
    void SetQuery(const std::string& text, bool caseSensitive, bool inText);
    std::string Text() const;
    bool CaseSensitive() const;
    bool InText() const;
    // Inverts the item's area mark and gives the new value to every area below it.
    void ToggleMark(QTreeWidgetItem* item);

private:
    void ShowMarks();
    std::unordered_set<std::string>& marked_;
    bool updating_ = false;
};

}  // namespace pelmar::ui

#include "editor/ui/TemplEditForm.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include "core/Settings.h"
#include "core/ui/FitContents.h"
#include "core/ui/MessageBox.h"
#include "core/ui/QtText.h"
#include "editor/Templates.h"
#include "platform/Codepage.h"
#include "core/ui/SlotGuard.h"

namespace pelmar::ui {

namespace {

enum TPage { PageNone = 0, PageText = 1, PageList = 2 };

struct TNode {
    int Level;
    const char* Caption;
    TPage Page;
    const char* Section;
    uint32_t Groups;
    const char* Library;
};

constexpr uint32_t O = MacroGroupOwn, Ad = MacroGroupAddressee, Cu = MacroGroupCursor, Re = MacroGroupReply,
                   RA = MacroGroupReplyArea, Li = MacroGroupLists, Fw = MacroGroupForward,
                   Ar = MacroGroupArea, DT = MacroGroupDateTime;

const TNode kNodes[] = {
    {0, "Шаблоны писем", PageNone, "", 0, ""},
    {1, "Обычное письмо", PageNone, "", 0, ""},
    {2, "Начало письма", PageText, "letter.begin", O | Ad | Cu, ""},
    {2, "Конец письма", PageText, "letter.end", O | Ad | Li, ""},
    {1, "Письмо-ответ", PageNone, "", 0, ""},
    {2, "Начало письма", PageText, "reply.begin", O | Ad | Cu | Re, ""},
    {2, "Конец письма", PageText, "reply.end", O | Ad | Re | Li, ""},
    {2, "Ответ из другой конференции", PageText, "reply.from.other.area", O | Ad | Re | RA, ""},
    {1, "Письмо переслано", PageText, "forwarded", O | Ad | Cu | Fw, ""},
    {1, "Послано в несколько разделов", PageText, "crossposted", O | Ar, ""},
    {1, "Подтверждение прочтения", PageText, "confirmation.read", O | Ad | Li | DT, ""},
    {0, "Роботы", PageNone, "", 0, ""},
    {1, "Имена роботов", PageList, "robot.names", 0, ""},
    {1, "Письмо к роботу", PageText, "robot.letter", O | Ad | Cu | Li, ""},
    {0, "Редактирование писем", PageNone, "", 0, ""},
    {1, "Вставка файла", PageNone, "", 0, ""},
    {2, "Начало", PageText, "fileinsert.begin", 0, ""},
    {2, "Конец", PageText, "fileinsert.end", 0, ""},
    {1, "Покусано", PageText, "cut", 0, ""},
    {0, "Оформление писем", PageNone, "", 0, ""},
    {1, "Ориджины", PageList, "origin.list", 0, "origin.library"},
    {1, "Тирлайны", PageList, "tearline.list", 0, "tearline.library"},
    {1, "Клуджи", PageList, "kludges", 0, ""},
};

const TNode* NodeOf(QTreeWidgetItem* item) {
    if (item == nullptr) return nullptr;
    const int i = item->data(0, Qt::UserRole).toInt();
    return i >= 0 && i < static_cast<int>(std::size(kNodes)) ? &kNodes[i] : nullptr;
}

}  // namespace

TTemplEditForm::TTemplEditForm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("Редактирование шаблонов"));
    setModal(false);
    for (const TNode& n : kNodes)
        if (n.Page != PageNone) copies_[n.Section] = ReadTemplate(n.Section);

    auto* top = new QVBoxLayout(this);
    auto* body = new QHBoxLayout;
    Tree = new QTreeWidget(this);
    Tree->setHeaderHidden(true);
    std::vector<QTreeWidgetItem*> parents;
    for (int i = 0; i < static_cast<int>(std::size(kNodes)); ++i) {
        const TNode& n = kNodes[i];
        parents.resize(static_cast<size_t>(n.Level));
        auto* item = n.Level == 0 ? new QTreeWidgetItem(Tree) : new QTreeWidgetItem(parents.back());
        item->setText(0, QString::fromUtf8(n.Caption));
        item->setData(0, Qt::UserRole, i);
        parents.push_back(item);
    }
    Tree->expandAll();
    Tree->setItemsExpandable(false);
    // The deepest section's whole name shows.
    FitViewToContents(Tree);
    body->addWidget(Tree, 1);

    auto* right = new QVBoxLayout;
    Caption = new QLabel(this);
    right->addWidget(Caption);
    pages_ = new QStackedWidget(this);
    pages_->addWidget(new QWidget(pages_));
    auto* textPage = new QWidget(pages_);
    auto* textLayout = new QHBoxLayout(textPage);
    TextPage = new QPlainTextEdit(textPage);
    TextPage->setObjectName(QStringLiteral("TextPage"));
    TextPage->setLineWrapMode(QPlainTextEdit::NoWrap);
    MacroList = new QTreeWidget(textPage);
    MacroList->setObjectName(QStringLiteral("MacroList"));
    MacroList->setHeaderLabels({QString::fromUtf8("Имя"), QString::fromUtf8("Описание")});
    MacroList->setRootIsDecorated(false);
    textLayout->addWidget(TextPage, 2);
    textLayout->addWidget(MacroList, 1);
    pages_->addWidget(textPage);
    auto* listPage = new QWidget(pages_);
    auto* listLayout = new QVBoxLayout(listPage);
    ListPage = new QListWidget(listPage);
    ListPage->setObjectName(QStringLiteral("ListPage"));
    listLayout->addWidget(ListPage);
    auto* listButtons = new QHBoxLayout;
    auto button = [&](const char* text, auto slot) {
        auto* b = new QPushButton(QString::fromUtf8(text), listPage);
        GuardedConnect(b, &QPushButton::clicked, this, slot);
        listButtons->addWidget(b);
    };
    button("Вверх", [this] {
        const int r = ListPage->currentRow();
        if (r > 0) {
            ListPage->insertItem(r - 1, ListPage->takeItem(r));
            ListPage->setCurrentRow(r - 1);
        }
    });
    button("Вниз", [this] {
        const int r = ListPage->currentRow();
        if (r >= 0 && r + 1 < ListPage->count()) {
            ListPage->insertItem(r + 1, ListPage->takeItem(r));
            ListPage->setCurrentRow(r + 1);
        }
    });
    button("Добавить...", [this] {
        bool ok = false;
        const QString t = QInputDialog::getText(this, QStringLiteral("Пелмар"),
                                                QString::fromUtf8("Введите новый элемент списка:"),
                                                QLineEdit::Normal, QString(), &ok);
        if (ok && !t.isEmpty()) ListPage->addItem(t);
    });
    button("Изменить...", [this] {
        QListWidgetItem* item = ListPage->currentItem();
        if (item == nullptr) return;
        bool ok = false;
        const QString t = QInputDialog::getText(this, QStringLiteral("Пелмар"),
                                                QString::fromUtf8("Введите новый элемент списка:"),
                                                QLineEdit::Normal, item->text(), &ok);
        if (ok) item->setText(t);
    });
    button("Удалить", [this] { delete ListPage->currentItem(); });
    listLayout->addLayout(listButtons);
    LibraryBox = new QWidget(listPage);
    auto* libLayout = new QVBoxLayout(LibraryBox);
    libLayout->addWidget(new QLabel(QString::fromUtf8("   Библиотека"), LibraryBox));
    Library = new QListWidget(LibraryBox);
    libLayout->addWidget(Library);
    auto* copy = new QPushButton(QStringLiteral("^^^^^^^^^"), LibraryBox);
    GuardedConnect(copy, &QPushButton::clicked, this, [this] { CopyLibraryEntry(); });
    libLayout->addWidget(copy);
    listLayout->addWidget(LibraryBox);
    pages_->addWidget(listPage);
    right->addWidget(pages_, 1);
    body->addLayout(right, 3);
    top->addLayout(body, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* save = new QPushButton(QString::fromUtf8("Сохранить"), this);
    auto* cancel = new QPushButton(QString::fromUtf8("Отмена"), this);
    buttons->addWidget(save);
    buttons->addWidget(cancel);
    top->addLayout(buttons);
    GuardedConnect(save, &QPushButton::clicked, this, [this] {
        if (Save()) accept();
    });
    GuardedConnect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    GuardedConnect(Tree, &QTreeWidget::currentItemChanged, this, &TTemplEditForm::NodeChanged);
    GuardedConnect(MacroList, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { TextPage->insertPlainText(item->text(0)); });
    resize(820, 520);
}

std::string TTemplEditForm::Section(const std::string& name) const {
    auto it = copies_.find(name);
    return it == copies_.end() ? std::string() : it->second;
}

void TTemplEditForm::SelectSection(const std::string& name) {
    for (QTreeWidgetItemIterator it(Tree); *it; ++it) {
        const TNode* n = NodeOf(*it);
        if (n != nullptr && name == n->Section) {
            Tree->setCurrentItem(*it);
            return;
        }
    }
}

void TTemplEditForm::StorePage(QTreeWidgetItem* node) {
    const TNode* n = NodeOf(node);
    if (n == nullptr || n->Page == PageNone) return;
    if (n->Page == PageText) {
        QString t = TextPage->toPlainText();
        t.replace(QChar('\n'), QStringLiteral("\r\n"));
        copies_[n->Section] = FromQt(t);
    } else {
        std::string text;
        for (int i = 0; i < ListPage->count(); ++i) text += FromQt(ListPage->item(i)->text()) + "\r\n";
        copies_[n->Section] = text;
    }
}

void TTemplEditForm::NodeChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    StorePage(previous);
    const TNode* n = NodeOf(current);
    if (n == nullptr) {
        pages_->setCurrentIndex(PageNone);
        return;
    }
    Caption->setText(QString::fromUtf8(n->Caption));
    pages_->setCurrentIndex(n->Page);
    if (n->Page == PageText) {
        QString t = ToQt(copies_[n->Section]);
        t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        TextPage->setPlainText(t);
        MacroList->clear();
        for (const TMacroInfo& m : Macros()) {
            if ((m.Group & n->Groups) == 0) continue;
            auto* row = new QTreeWidgetItem(MacroList);
            row->setText(0, ToQt(m.Name));
            row->setText(1, ToQt(m.Description));
        }
    } else if (n->Page == PageList) {
        ListPage->clear();
        for (const auto& line : TemplateLines(copies_[n->Section])) ListPage->addItem(ToQt(line));
        LibraryBox->setVisible(*n->Library != 0);
        Library->clear();
        if (*n->Library != 0)
            for (const auto& entry : ReadLibrary(n->Library)) Library->addItem(ToQt(entry));
    }
}

void TTemplEditForm::CopyLibraryEntry() {
    QListWidgetItem* item = Library->currentItem();
    if (item == nullptr) return;
    ListPage->addItem(ToQt(LibraryEntryToListLine(FromQt(item->text()))));
}

bool TTemplEditForm::Save() {
    StorePage(Tree->currentItem());
    bool ok = true;
    for (const auto& [name, text] : copies_) ok = WriteTemplate(name, text) && ok;
    if (!ok) ShowError(Utf8ToAnsi("Не удалось сохранить шаблоны"), this);
    return ok;
}

}  // namespace pelmar::ui

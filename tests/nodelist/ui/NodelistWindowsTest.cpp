// The node browser, its search dialog, the address book and the entry dialog, driven without a user.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "core/Codepage.h"
#include "core/Settings.h"
#include "nodelist/AddressBook.h"
#include "nodelist/NodeList.h"
#include "nodelist/ui/AddressBookForm.h"
#include "nodelist/ui/ContactForm.h"
#include "nodelist/ui/NodeBrowser.h"
#include "nodelist/ui/NodeFind.h"
#include "nodelist/ui/NodelistWindows.h"
#include "reader/ui/MainFrame.h"
#include "support/TestSupport.h"
#include "support/qt/Child.h"

namespace pelmar::ui {
namespace {

using pelmar::test::Child;

// Runs `act` on the modal dialog that the next call opens.
void OnNextDialog(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        act(dialog);
    });
}

TEST(NodeFind, SearchNeedsAnEmptyOrValidMask) {
    TNodeFind find("Petr", "", nullptr);
    const struct {
        const char* mask;
        bool enabled;
    } rows[] = {{"", true}, {"2:5020/*", true}, {"2:5020/120.5", true}, {"5020/1", false}, {"abc", false}};
    for (const auto& row : rows) {
        Child<QLineEdit>(find, "AddressEdit")->setText(row.mask);
        EXPECT_EQ(Child<QPushButton>(find, "SearchButton")->isEnabled(), row.enabled) << row.mask;
    }
    EXPECT_EQ(find.NamePart(), "Petr");
}

TEST(ContactForm, AddressesAreAddedOnceAndTypedOnesCountOnOK) {
    TContactForm form(nullptr);
    EXPECT_FALSE(Child<QPushButton>(form, "OKButton")->isEnabled());
    Child<QLineEdit>(form, "NameEdit")->setText(QStringLiteral("Иван"));
    EXPECT_TRUE(Child<QPushButton>(form, "OKButton")->isEnabled());
    for (const char* text : {"2:5020/1", "2:5020/1", "2:5020/1 "}) {
        Child<QLineEdit>(form, "AddressEdit")->setText(text);
        Child<QPushButton>(form, "AddButton")->click();
    }
    Child<QLineEdit>(form, "AddressEdit")->setText("2:5020/1");
    EXPECT_FALSE(Child<QPushButton>(form, "AddButton")->isEnabled());
    Child<QLineEdit>(form, "AddressEdit")->setText("1:2/3");  // typed, never added
    Child<QPushButton>(form, "OKButton")->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    const auto draft = form.Draft();
    EXPECT_EQ(draft.Name, Utf8ToAnsi("Иван"));
    EXPECT_EQ(draft.Addresses, (std::vector<std::string>{"2:5020/1", "2:5020/1 ", "1:2/3"}));
}

struct Lists {
    test::TempDir dir;
    TNodeList list{dir.Path().string() + "/"};
    TAddressBook book{dir.Path().string() + "/"};
    Lists() {
        test::WriteFile(dir.Path() / "net",
                        "Zone,2\r\nHost,5020\r\n,1,Station_One,Moscow,Petr_Ivanov,7-1,300,CM\r\n"
                        ",2,Two,Tver,Anna_Orlova,7-2,300\r\n,3,Three,Kiev,Petr_Sidorov,7-3,300\r\n"
                        "Host,5030\r\n,4,Four,Omsk,Petr_Ivanov,7-4,300\r\n");
        list.Compile({dir.File("net")});
    }
};

TEST(NodeBrowser, QuickSearchPersonSearchAndFindNext) {
    Lists l;
    TNodeBrowser browser(l.list, l.book);
    browser.show();
    const QAbstractItemModel* model = Child<QTableView>(browser, "ListView1")->model();
    EXPECT_EQ(model->rowCount(), 4);
    EXPECT_EQ(model->data(model->index(0, 1), Qt::DisplayRole).toString(), "Anna Orlova");
    EXPECT_EQ(model->data(model->index(3, 3), Qt::DisplayRole).toString(), "Kiev");
    EXPECT_FALSE(Child<QPushButton>(browser, "AddToBookButton")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(browser, "SendButton")->isEnabled());

    Child<QLineEdit>(browser, "QuickSearchEdit")->setText("Petr S");
    EXPECT_EQ(browser.SelectedRow(), 3);
    EXPECT_TRUE(Child<QPushButton>(browser, "AddToBookButton")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(browser, "SendButton")->isEnabled());  // no editor to send with

    // Rows: Anna Orlova, Petr Ivanov 2:5030/4 (read last, listed first), Petr Ivanov 2:5020/1, Petr Sidorov.
    browser.Search("Petr", "2:5020/*");
    EXPECT_EQ(browser.SelectedRow(), 2);
    EXPECT_TRUE(Child<QPushButton>(browser, "FindNextButton")->isEnabled());
    Child<QPushButton>(browser, "FindNextButton")->click();
    EXPECT_EQ(browser.SelectedRow(), 3);
    Child<QPushButton>(browser, "FindNextButton")->click();
    EXPECT_EQ(browser.SelectedRow(), -1);
    EXPECT_FALSE(Child<QPushButton>(browser, "FindNextButton")->isEnabled());

    std::string sentTo, sentAddress;
    browser.SendLetter = [&](const std::string& name, const std::string& address) {
        sentTo = name;
        sentAddress = address;
    };
    browser.SelectRow(1);
    ASSERT_TRUE(Child<QPushButton>(browser, "SendButton")->isEnabled());
    Child<QPushButton>(browser, "SendButton")->click();
    EXPECT_EQ(sentTo, "Petr Ivanov");
    EXPECT_EQ(sentAddress, "2:5030/4");
}

TEST(NodeBrowser, AddToBookJoinsTheNodelistAndTheBook) {
    Lists l;
    const int known = l.book.Add();
    l.book.SetName(known, "petr ivanov");
    l.book.Addresses(known) = {"2:5020/1", "9:9/9"};
    TNodeBrowser browser(l.list, l.book);
    browser.show();
    browser.SelectRow(1);  // Petr Ivanov at 2:5030/4
    OnNextDialog([](QWidget* dialog) {
        auto* form = qobject_cast<TContactForm*>(dialog);
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->Draft().Addresses, (std::vector<std::string>{"2:5030/4", "2:5020/1", "9:9/9"}));
        EXPECT_EQ(form->Draft().Notes, "Four");  // the book's note is empty: the row's station
        Child<QPushButton>(*form, "OKButton")->click();
    });
    Child<QPushButton>(browser, "AddToBookButton")->click();
    ASSERT_EQ(l.book.Count(), 1);
    EXPECT_EQ(l.book.Name(0), "Petr Ivanov");

    browser.SelectRow(0);
    OnNextDialog([](QWidget* dialog) {
        Child<QPushButton>(*qobject_cast<TContactForm*>(dialog), "OKButton")->click();
    });
    Child<QPushButton>(browser, "AddToBookButton")->click();
    ASSERT_EQ(l.book.Count(), 2);
    EXPECT_EQ(l.book.Addresses(1), std::vector<std::string>{"2:5020/2"});
}

TEST(AddressBookForm, ManagerAndPicker) {
    Lists l;
    for (const char* name : {"Anna", "Boris"}) {
        const int i = l.book.Add();
        l.book.SetName(i, name);
        l.book.Addresses(i) = {"2:5020/1", "2:5020/2"};
    }
    ASSERT_TRUE(l.book.Save());
    const std::string saved = test::ReadFile(l.book.FilePath());
    {
        TAddressBookForm form(l.book, &l.list, TAddressBookForm::TMode::Manager);
        form.show();
        EXPECT_FALSE(Child<QPushButton>(form, "OKButton")->isVisible());
        ASSERT_EQ(Child<QTreeWidget>(form, "ListView1")->topLevelItemCount(), 2);
        EXPECT_EQ(Child<QTreeWidget>(form, "ListView1")->topLevelItem(1)->text(1), "2:5020/1, 2:5020/2");
        EXPECT_FALSE(Child<QPushButton>(form, "DeleteButton")->isEnabled());
        Child<QTreeWidget>(form, "ListView1")
            ->setCurrentItem(Child<QTreeWidget>(form, "ListView1")->topLevelItem(0));
        Child<QPushButton>(form, "DeleteButton")->click();
        EXPECT_EQ(l.book.Names(), std::vector<std::string>{"Boris"});
        EXPECT_EQ(Child<QTreeWidget>(form, "ListView1")->topLevelItemCount(), 1);
        EXPECT_EQ(test::ReadFile(l.book.FilePath()), saved);  // the file changes only at exit
    }
    {
        TAddressBookForm form(l.book, &l.list, TAddressBookForm::TMode::Picker);
        form.show();
        EXPECT_TRUE(Child<QPushButton>(form, "OKButton")->isVisible());
        EXPECT_FALSE(Child<QPushButton>(form, "OKButton")->isEnabled());
        OnNextDialog([](QWidget* dialog) {
            auto* contact = qobject_cast<TContactForm*>(dialog);
            ASSERT_NE(contact, nullptr);
            Child<QLineEdit>(*contact, "NameEdit")
                ->setText("Boris");  // a second entry of the same name is a new entry
            Child<QLineEdit>(*contact, "AddressEdit")->setText("1:1/1");
            Child<QPushButton>(*contact, "OKButton")->click();
        });
        Child<QPushButton>(form, "AddButton")->click();
        ASSERT_EQ(l.book.Count(), 2);
        EXPECT_EQ(Child<QTreeWidget>(form, "ListView1")->topLevelItemCount(), 2);
        Child<QPushButton>(form, "OKButton")->click();
        EXPECT_EQ(form.SelectedEntry(), 1);
        EXPECT_EQ(l.book.Addresses(1), std::vector<std::string>{"1:1/1"});
    }
}

// The address book's own node browser sends letters too; the letter starts once both dialogs closed,
// since a window opened under them could not be typed into.
TEST(NodelistWindows, AddressBookNodeBrowserSendsALetter) {
    Lists l;
    NodeList = &l.list;
    AddressBook = &l.book;
    TNodelistWindows windows;
    std::vector<std::string> sent;
    windows.SendLetter = [&sent](const std::string& name, const std::string& address) {
        sent = {name, address, QApplication::activeModalWidget() == nullptr ? "free" : "blocked"};
    };
    bool enabled = false;
    OnNextDialog([&enabled](QWidget* dialog) {
        auto* form = qobject_cast<TAddressBookForm*>(dialog);
        ASSERT_NE(form, nullptr);
        OnNextDialog([&enabled](QWidget* inner) {
            auto* browser = qobject_cast<TNodeBrowser*>(inner);
            ASSERT_NE(browser, nullptr);
            browser->SelectRow(1);
            enabled = Child<QPushButton>(*browser, "SendButton")->isEnabled();
            Child<QPushButton>(*browser, "SendButton")->click();
        });
        Child<QPushButton>(*form, "NodesButton")->click();
    });
    windows.ShowAddressBook(nullptr);
    NodeList = nullptr;
    AddressBook = nullptr;
    EXPECT_TRUE(enabled);
    EXPECT_EQ(sent, (std::vector<std::string>{"Petr Ivanov", "2:5030/4", "free"}));
}

void Answer(QMessageBox::StandardButton button, QString* text = nullptr) {
    OnNextDialog([button, text](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        ASSERT_NE(box, nullptr);
        if (text != nullptr) *text = box->text();
        box->button(button)->click();
    });
}

TEST(NodelistWindows, CheckAsksThenCompilesAndFreesTheBrowser) {
    Lists l;
    NodeList = &l.list;
    AddressBook = &l.book;
    TNodelistWindows windows;
    const std::string net = l.dir.File("net");
    const std::string more = l.dir.File("more");
    test::WriteFile(more, "Zone,2\r\nHost,5040\r\n,9,S,L,Zoe_Last,-,300\r\n");
    EXPECT_FALSE(windows.CheckNodelist(nullptr, {net}, {}));  // unchanged: no question

    QString question;
    Answer(QMessageBox::No, &question);
    EXPECT_FALSE(windows.CheckNodelist(nullptr, {net, more}, {}));
    EXPECT_EQ(question,
              QStringLiteral("Файлы, составляющие список узлов, изменились.\r\nОткомпилировать список?"));
    EXPECT_EQ(l.list.RecordCount(), 4);  // declined: the old index stays

    windows.ShowNodeBrowser(nullptr);
    ASSERT_NE(windows.NodeBrowser(), nullptr);
    std::vector<int> percents;
    bool begun = false, ended = false;
    TNodelistWindows::TProgress progress{[&] { begun = true; }, [&](int p) { percents.push_back(p); },
                                         [&] { ended = true; }};
    Answer(QMessageBox::Yes);
    EXPECT_TRUE(windows.CheckNodelist(nullptr, {net, more}, progress));
    EXPECT_EQ(windows.NodeBrowser(), nullptr);
    EXPECT_TRUE(begun && ended);
    EXPECT_FALSE(percents.empty());
    EXPECT_EQ(l.list.RecordCount(), 5);

    // A source that cannot be read: the error is shown and the index stays as it was.
    std::filesystem::create_directory(l.dir.Path() / "folder");
    Answer(QMessageBox::Yes);
    QString error;
    QTimer::singleShot(50, [&error] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            error = box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    EXPECT_FALSE(windows.CheckNodelist(nullptr, {net, l.dir.File("folder")}, progress));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(l.list.RecordCount(), 5);

    // The editor's picker hands over the chosen entry.
    l.book.SetName(l.book.Add(), "Anna");
    const int boris = l.book.Add();
    l.book.SetName(boris, "Boris");
    l.book.Addresses(boris) = {"2:5020/7", "2:5020/8"};
    OnNextDialog([](QWidget* dialog) {
        auto* form = qobject_cast<TAddressBookForm*>(dialog);
        ASSERT_NE(form, nullptr);
        Child<QTreeWidget>(*form, "ListView1")
            ->setCurrentItem(Child<QTreeWidget>(*form, "ListView1")->topLevelItem(1));
        Child<QPushButton>(*form, "OKButton")->click();
    });
    const auto picked = TNodelistWindows::PickContact(nullptr);
    ASSERT_TRUE(picked.has_value());
    EXPECT_EQ(picked->Name, "Boris");
    EXPECT_EQ(picked->Addresses, (std::vector<std::string>{"2:5020/7", "2:5020/8"}));
    NodeList = nullptr;
    AddressBook = nullptr;
}

TEST(NodelistWindows, MainWindowChecksAtFirstShowAndOpensTheWindows) {
    test::ScopedHome home;
    Lists l;
    NodeList = &l.list;
    AddressBook = &l.book;
    const TSettings saved = Settings;
    Settings.AutoCompile = true;
    Settings.NodeListFiles = {l.dir.File("net"), l.dir.File("missing")};
    {
        TMainFrame frame;
        frame.show();  // the question comes once the window is on screen
        QString question;
        Answer(QMessageBox::No, &question);
        for (int i = 0; i < 10 && question.isEmpty(); ++i) QApplication::processEvents();
        EXPECT_FALSE(question.isEmpty());
        EXPECT_EQ(l.list.RecordCount(), 4);  // declined

        frame.RunCommand(TCommand::NodeList);
        ASSERT_NE(frame.NodelistWindows().NodeBrowser(), nullptr);
        EXPECT_TRUE(frame.NodelistWindows().NodeBrowser()->isVisible());
        OnNextDialog([](QWidget* dialog) {
            auto* form = qobject_cast<TAddressBookForm*>(dialog);
            ASSERT_NE(form, nullptr);
            EXPECT_FALSE(Child<QPushButton>(*form, "OKButton")->isVisible());
            Child<QPushButton>(*form, "CloseButton")->click();
        });
        frame.RunCommand(TCommand::AddressBook);
    }
    Settings = saved;
    NodeList = nullptr;
    AddressBook = nullptr;
}

}  // namespace
}  // namespace pelmar::ui

// The main window's search, find-next on F3, the key table through real key events, bookmarks.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWindow>
#include <filesystem>

#include "areas/AreaLifetime.h"
#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "core/ui/QtText.h"
#include "editor/ui/SendMessageForm.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/MessageBase.h"
#include "platform/Registry.h"
#include "reader/ui/AreaChooserTree.h"
#include "reader/ui/AreaTreeModel.h"
#include "reader/ui/BookMarkForm.h"
#include "reader/ui/CopyForm.h"
#include "reader/ui/MainCommands.h"
#include "reader/ui/MainDialogs.h"
#include "reader/ui/MainFrame.h"
#include "reader/ui/MessageListModel.h"
#include "reader/ui/SearchForm.h"
#include "support/TestSupport.h"
#include "support/qt/Child.h"

namespace fs = std::filesystem;

namespace pelmar::ui {
namespace {

using pelmar::test::Child;
using C = TCommand;

std::string A(const char* utf8) {
    return Utf8ToAnsi(utf8);
}

struct TRow {
    const char* Subject;
    bool Deleted = false;
    bool NoMsgId = false;
};

void WriteBase(int kind, const std::string& path, const std::vector<TRow>& rows) {
    auto base = CreateMessageBase(kind);
    base->SetPath(path);
    if (kind == BaseKindMsg) fs::create_directories(path);
    base->CreateBase();
    base->Open();
    ASSERT_TRUE(base->Active) << path;
    base->UseFlagFiles = false;
    int n = 0;
    for (const TRow& row : rows) {
        base->NewMessage();
        base->FromName = "Writer";
        base->ToName = "All";
        base->Subject = A(row.Subject);
        base->OrigAddr = "2:5020/1";
        base->Date = EncodeDateTime(2025, 1, 2, 3, 4, 5 + n);
        if (!row.NoMsgId) base->Kludges = {"MSGID: 2:5020/1 " + std::to_string(7000 + kind * 100 + ++n)};
        base->Text = "Text\r";
        ASSERT_TRUE(base->WriteMessage());
    }
    int position = 0;
    for (bool more = base->First(); more; more = base->Next(), ++position)
        if (rows[static_cast<size_t>(position)].Deleted) base->DeleteCurrent();
    base->Close();
}

class SearchWindowTest : public testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings;
        Settings = TSettings{};
        const fs::path bases = home_.Path() / "bases";
        fs::create_directories(bases);
        WriteBase(BaseKindJam, (bases / "jam").string(),
                  {{"Привет всем"}, {"x", true}, {"y", true}, {"ПРИВЕТ снова"}, {"без id", false, true}});
        WriteBase(BaseKindSquish, (bases / "sq").string(), {{"nothing"}, {"here"}});
        WriteBase(BaseKindMsg, (bases / "msg").string(), {{"other"}, {"и тут привет"}});
        TRegistry reg;
        reg.OpenKey("\\" + RootKey + "\\Settings", true);
        reg.WriteBool("SetupDone", true);
        const struct {
            const char* Name;
            int Kind;
            std::string Path;
        } areas[] = {{"A1", BaseKindJam, (bases / "jam").string()},
                     {"A2", BaseKindSquish, (bases / "sq").string()},
                     {"A3", BaseKindMsg, (bases / "msg").string()}};
        for (const auto& area : areas) {
            reg.OpenKey("\\" + RootKey + "\\Areas\\Fido\\" + area.Name, true);
            reg.WriteInteger("Kind", area.Kind);
            reg.WriteString("Path", area.Path);
            reg.WriteString("Description", area.Name);
        }
        CreateAreaManager();
        ASSERT_NE(AreaManager(), nullptr);
    }
    void TearDown() override {
        StoreAreasAndRelease();
        Settings = saved_;
    }
    TAreaInfo& Area(const char* name) { return *AreaManager()->Root().FindChild("Fido")->FindChild(name); }
    static QString Status(TMainFrame& frame) { return frame.StatusPanel(2)->text(); }
    static std::string Shown(TMainFrame& frame) {
        return frame.List().CurrentEntry != nullptr ? AnsiToUtf8(frame.List().CurrentEntry->Subject) : "";
    }
    void Show(TMainFrame& frame) {
        frame.show();
        frame.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    }

    test::ScopedHome home_;
    TSettings saved_;
};

TEST_F(SearchWindowTest, F3WalksTheMatchesOfTheMarkedAreasThenFallsBackToEdit) {
    TMainFrame frame;
    Show(frame);
    EXPECT_FALSE(frame.Commands().Action(C::FindNext)->isEnabled());
    TSearch& search = frame.Dialogs().Search;
    for (const char* name : {"A1", "A2", "A3"}) search.Marked.insert(Area(name).ID);
    search.SearchText = A("привет");
    ASSERT_TRUE(search.Start(AreaManager()->Root()));
    frame.Dialogs().SearchNext();
    // In the tree's order: A3, a *.MSG area kept as netmail, is shown first.
    ASSERT_EQ(frame.AreaModel().index(0, 0, frame.AreaModel().index(0, 0)),
              frame.AreaModel().IndexOf(&Area("A3")));
    EXPECT_EQ(Status(frame), QStringLiteral("Найдено!"));
    EXPECT_EQ(frame.List().CurrentArea, &Area("A3"));
    EXPECT_EQ(Shown(frame), "и тут привет");
    EXPECT_TRUE(frame.Commands().Action(C::FindNext)->isEnabled());

    std::vector<C> ran;
    QObject::connect(&frame.Commands(), &TMainCommands::Triggered,
                     [&ran](C command) { ran.push_back(command); });
    for (const auto& [area, subject] : {std::pair{"A1", "Привет всем"}, std::pair{"A1", "ПРИВЕТ снова"}}) {
        QTest::keyClick(frame.windowHandle(), Qt::Key_F3);
        EXPECT_EQ(frame.List().CurrentArea, &Area(area));
        EXPECT_EQ(Shown(frame), subject);
        EXPECT_EQ(Status(frame), QStringLiteral("Найдено!"));
    }
    QTest::keyClick(frame.windowHandle(), Qt::Key_F3);
    EXPECT_EQ(Status(frame), QStringLiteral("Не найдено"));
    EXPECT_FALSE(frame.Commands().Action(C::FindNext)->isEnabled());
    EXPECT_EQ(ran, (std::vector<C>{C::FindNext, C::FindNext, C::FindNext}));
    // Now F3 belongs to "edit" again: the shown message opens in an editor.
    ran.clear();
    QTest::keyClick(frame.windowHandle(), Qt::Key_F3);
    EXPECT_EQ(ran, std::vector<C>{C::Edit});
    ASSERT_EQ(Editors().size(), 1u);
    EXPECT_EQ(Editors().front()->Mode, TEditorMode::Edit);
    EXPECT_EQ(Editors().front()->Subject(), A("ПРИВЕТ снова"));
    delete Editors().front();
    EXPECT_EQ(Status(frame), QStringLiteral("Не найдено"));
}

TEST_F(SearchWindowTest, NumpadDelCountsAsDelAndCtrlKeysRunTheirCommands) {
    TMainFrame frame;
    Show(frame);
    std::vector<C> ran;
    QObject::connect(&frame.Commands(), &TMainCommands::Triggered,
                     [&ran](C command) { ran.push_back(command); });
    // The commands' own dialogs and questions would wait for an answer.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    closer.start(20);
    // Nothing shown: Del's item is disabled.
    QTest::keyClick(frame.windowHandle(), Qt::Key_Delete, Qt::KeypadModifier);
    EXPECT_TRUE(ran.empty());
    Child<QTreeView>(frame, "AreaTree")->setCurrentIndex(frame.AreaModel().IndexOf(&Area("A3")));
    Child<QListView>(frame, "MessageView")->setCurrentIndex(frame.ListModel().index(0));
    ASSERT_NE(frame.List().CurrentEntry, nullptr);
    struct TKey {
        int Key;
        Qt::KeyboardModifiers Modifiers;
        std::vector<C> Expected;
    };
    const TKey keys[] = {
        {Qt::Key_Delete, Qt::KeypadModifier, {C::Delete}},
        {Qt::Key_Delete, Qt::ShiftModifier, {}},
        {Qt::Key_F, Qt::ControlModifier, {C::Find}},
        {Qt::Key_0, Qt::AltModifier, {C::WindowListDialog}},
    };
    for (const TKey& key : keys) {
        ran.clear();
        // A closed dialog may leave no window active.
        frame.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
        QTest::keyClick(frame.windowHandle(), static_cast<Qt::Key>(key.Key), key.Modifiers);
        QTest::qWait(30);
        EXPECT_EQ(ran, key.Expected) << key.Key;
    }
    EXPECT_EQ(frame.Commands().Action(C::NewLetter)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_EQ(frame.Commands().Action(C::Reply)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
    EXPECT_EQ(frame.Commands().Action(C::Print)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    EXPECT_EQ(frame.Commands().Action(C::Exit)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
}

TEST_F(SearchWindowTest, BookmarksLeadBackAcrossAreasAndRefuseMessagesWithoutMsgId) {
    TMainFrame frame;
    Show(frame);
    TMainDialogs& dialogs = frame.Dialogs();
    Child<QTreeView>(frame, "AreaTree")->setCurrentIndex(frame.AreaModel().IndexOf(&Area("A1")));
    ASSERT_GE(frame.ListModel().rowCount(), 3);
    // The message without MSGID is refused with a note; the others become bookmarks.
    Child<QListView>(frame, "MessageView")->selectAll();
    dialogs.AddBookmarks();
    EXPECT_EQ(Settings.BookMarkNames.size(), 2u);
    EXPECT_EQ(Settings.BookMarkData.size(), 2u);
    EXPECT_EQ(Status(frame), QStringLiteral("Письмо без MSGID нельзя добавить в закладки"));
    EXPECT_EQ(Child<QListWidget>(dialogs.BookMarks(), "ListView1")->count(), 2);
    const int second = ToQt(Settings.BookMarkNames[1]).contains(QStringLiteral("снова")) ? 1 : 0;

    Child<QTreeView>(frame, "AreaTree")->setCurrentIndex(frame.AreaModel().IndexOf(&Area("A3")));
    Child<QListView>(frame, "MessageView")->setCurrentIndex(frame.ListModel().index(0));
    dialogs.BookMarks().ClickRow(second);
    EXPECT_EQ(frame.List().CurrentArea, &Area("A1"));
    EXPECT_EQ(Shown(frame), "ПРИВЕТ снова");
    EXPECT_EQ(Child<QListWidget>(dialogs.BookMarks(), "ListView1")->count(), 2);

    // A bookmark whose message is gone goes when clicked.
    Settings.BookMarkData[0] = Area("A1").ID + "|2:5020/1 deadbeef";
    dialogs.BookMarks().ClickRow(0);
    EXPECT_EQ(Child<QListWidget>(dialogs.BookMarks(), "ListView1")->count(), 1);
    EXPECT_EQ(Settings.BookMarkNames.size(), 1u);
    EXPECT_EQ(Settings.BookMarkData.size(), 1u);

    // The store holds the bookmarks at once, not only at the end of the run.
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(Settings.BaseKey + SettingsSubKey, false));
        EXPECT_EQ(reg.ReadString("BookMarkData"), StringListToText(Settings.BookMarkData));
    }
    // An area whose base cannot be opened right now keeps its bookmark.
    Child<QTreeView>(frame, "AreaTree")->setCurrentIndex(frame.AreaModel().IndexOf(&Area("A3")));
    const std::string path = Area("A1").Path;
    Area("A1").Path = (home_.Path() / "elsewhere").string();
    dialogs.BookMarks().ClickRow(0);
    Area("A1").Path = path;
    EXPECT_EQ(frame.List().Base, nullptr);
    EXPECT_EQ(Child<QListWidget>(dialogs.BookMarks(), "ListView1")->count(), 1);
    EXPECT_EQ(Settings.BookMarkData.size(), 1u);
}

}  // namespace
}  // namespace pelmar::ui

namespace pelmar::ui {
namespace {

TEST_F(SearchWindowTest, DialogsEnableTheirOkOnlyForAUsableChoice) {
    TAreaInfo& root = AreaManager()->Root();
    std::unordered_set<std::string> marked;
    TSearchForm search(root, marked);
    EXPECT_FALSE(Child<QPushButton>(search, "SearchButton")->isEnabled());
    Child<QLineEdit>(search, "Edit1")->setText(QStringLiteral("привет"));
    EXPECT_TRUE(Child<QPushButton>(search, "SearchButton")->isEnabled());
    // "Все" marks every area below it, a second click unmarks them.
    QTreeWidgetItem* all = Child<TAreaChooserTree>(search, "AreaTree")->topLevelItem(0);
    for (const bool expected : {true, false}) {
        search.ToggleMark(all);
        for (const char* name : {"A1", "A2", "A3"})
            EXPECT_EQ(marked.count(Area(name).ID) != 0, expected) << name;
    }

    TCopyForm copy(root, &Area("A1"));
    const struct {
        TAreaInfo* Item;
        bool Ok;
    } rows[] = {{root.FindChild("Fido"), false}, {&Area("A1"), false}, {&Area("A2"), true}};
    for (const auto& row : rows) {
        Child<TAreaChooserTree>(copy, "AreaTree")
            ->setCurrentItem(Child<TAreaChooserTree>(copy, "AreaTree")->ItemOf(row.Item));
        EXPECT_EQ(Child<QPushButton>(copy, "OkButton")->isEnabled(), row.Ok) << row.Item->Name;
    }
    EXPECT_EQ(copy.Target(), &Area("A2"));
    EXPECT_FALSE(copy.Move());
}

}  // namespace
}  // namespace pelmar::ui

// The main window reading the JAM area a tosser wrote: the pane, read marking and its counters,
// delete with and without the question, move, display modes and code pages.
#include <gtest/gtest.h>
#include <pelmar/plugin.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <filesystem>

#include "areas/AreaLifetime.h"
#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "core/ui/QtText.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/ShortLockWaits.h"
#include "msgbase/TosserLock.h"
#include "platform/Registry.h"
#include "reader/ui/AreaTreeModel.h"
#include "reader/ui/MainCommands.h"
#include "reader/ui/MainFrame.h"
#include "reader/ui/MessageListModel.h"
#include "reader/ui/MessageViewPane.h"
#include "reader/ui/ReadingController.h"
#include "support/TestSupport.h"
#include "support/qt/Child.h"
#include "support/qt/WaitFor.h"

namespace pelmar::ui {
namespace {

using pelmar::test::Child;
namespace fs = std::filesystem;
using pelmar::test::WaitFor;

// Answers every modal message box as it appears and keeps its text.
class TBoxAnswer {
public:
    explicit TBoxAnswer(QMessageBox::StandardButton answer) {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this, answer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) return;
            Texts.push_back(box->text());
            if (QAbstractButton* button = box->button(answer))
                button->click();
            else
                box->accept();
        });
        timer_.start();
    }
    QStringList Texts;

private:
    QTimer timer_;
};

class ReadingWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings;
        Settings = TSettings{};
        Settings.FullName = Utf8ToAnsi("Иван Петров");
        const fs::path bases = home_.Path() / "bases";
        fs::create_directories(bases);
        for (const char* ext : {".jhr", ".jdt", ".jdx", ".jlr"})
            test::CopyFixture(std::string("crashmail/bases/rutest") + ext, bases);
        {
            TRegistry reg;
            reg.OpenKey("\\" + RootKey + "\\Settings", true);
            reg.WriteBool("SetupDone", true);
            for (const auto& [name, path] : {std::pair<std::string, fs::path>{"RUTEST", bases / "rutest"},
                                             {"TARGET", bases / "target"}}) {
                reg.OpenKey("\\" + RootKey + "\\Areas\\Fido\\" + name, true);
                reg.WriteInteger("Kind", BaseKindJam);
                reg.WriteString("Path", path.string());
                reg.WriteString("Description", name);
            }
        }
        auto target = CreateMessageBase(BaseKindJam);
        target->SetPath((bases / "target").string());
        target->CreateBase();
        CreateAreaManager();
        ASSERT_NE(AreaManager(), nullptr);
        frame_ = std::make_unique<TMainFrame>();
        frame_->show();
        TAreaInfo& area = Area("RUTEST");
        area.Read = 7;
        area.MsgCount = 7;
        area.PersonalUnread = 2;
        Child<QTreeView>(*frame_, "AreaTree")->setCurrentIndex(frame_->AreaModel().IndexOf(&area));
        ASSERT_EQ(frame_->List().CurrentArea, &area);
        // Every thread open, so every message has its row.
        for (TMessageClass* entry : std::vector<TMessageClass*>(frame_->List().Rows)) entry->ExpandAll();
        frame_->List().RebuildRows();
    }

    void TearDown() override {
        frame_.reset();
        StoreAreasAndRelease();
        Settings = saved_;
    }

    TAreaInfo& Area(const char* name) { return *AreaManager()->Root().FindChild("Fido")->FindChild(name); }
    TThreadList& List() { return frame_->List(); }
    TMessageViewPane& Pane() { return frame_->MessagePane(); }
    QString Text() { return Pane().TextView()->toPlainText(); }

    int RowWhere(const char* subjectUtf8, const char* toUtf8 = nullptr) {
        for (size_t i = 0; i < List().Rows.size(); ++i) {
            const TMessageClass* e = List().Rows[i];
            if (AnsiToUtf8(e->Subject).find(subjectUtf8) == std::string::npos) continue;
            if (toUtf8 != nullptr && AnsiToUtf8(e->ToName) != toUtf8) continue;
            return static_cast<int>(i);
        }
        return -1;
    }
    void Select(int row) {
        Child<QListView>(*frame_, "MessageView")->setCurrentIndex(frame_->ListModel().index(row));
        QApplication::processEvents();
    }
    void SelectRows(std::initializer_list<int> rows) {
        QItemSelection selection;
        for (int row : rows) selection.select(frame_->ListModel().index(row), frame_->ListModel().index(row));
        Child<QListView>(*frame_, "MessageView")->setCurrentIndex(frame_->ListModel().index(*rows.begin()));
        Child<QListView>(*frame_, "MessageView")
            ->selectionModel()
            ->select(selection, QItemSelectionModel::ClearAndSelect);
        QApplication::processEvents();
    }

    test::ScopedHome home_;
    TSettings saved_;
    std::unique_ptr<TMainFrame> frame_;
};

TEST_F(ReadingWindowTest, ShownMessageBecomesReadAfterHalfASecondWithItsCounters) {
    const int personal = RowWhere("Personal one", "Иван Петров");
    ASSERT_GE(personal, 0);
    TMessageClass* entry = List().Rows[static_cast<size_t>(personal)];
    ASSERT_FALSE(entry->Read);
    Select(personal);
    EXPECT_TRUE(Text().contains(QStringLiteral("For you personally.")));
    EXPECT_FALSE(entry->Read);
    // Plug-ins read the shown message, not the last header the list read.
    char from[64];
    plmMBGetFrom(from, sizeof from);
    EXPECT_EQ(std::string(from), entry->FromName);
    EXPECT_TRUE(WaitFor([&] { return entry->Read; }));
    EXPECT_EQ(Area("RUTEST").Read, 6);
    EXPECT_EQ(Area("RUTEST").PersonalUnread, 1);
    // Stored in the base, not only in the list.
    List().Base->Seek(entry->Position);
    List().Base->ReadHeader();
    EXPECT_TRUE(List().Base->Read);
}

TEST_F(ReadingWindowTest, AMarkTheBaseRefusesLeavesTheMessageUnreadAndIsTriedOnTheNextShow) {
    const test::TShortLockWaits waits(std::chrono::milliseconds(100), std::chrono::milliseconds(20));
    const int personal = RowWhere("Personal one", "Иван Петров");
    ASSERT_GE(personal, 0);
    TMessageClass* entry = List().Rows[static_cast<size_t>(personal)];
    const int other = personal == 0 ? 1 : 0;
    {
        // A tosser holds the base while the message is shown and the read mark falls due.
        const test::TTosserLock tosser((home_.Path() / "bases" / "rutest.jhr").string(), 1, 60000);
        ASSERT_TRUE(tosser.Locked);
        Select(personal);
        WaitFor([] { return false; }, 1200);
        EXPECT_FALSE(entry->Read);
        EXPECT_EQ(Area("RUTEST").Read, 7);
        EXPECT_EQ(Area("RUTEST").PersonalUnread, 2);
        Select(other);
    }
    Select(personal);
    ASSERT_TRUE(WaitFor([&] { return entry->Read; }, 3000));
    EXPECT_EQ(Area("RUTEST").PersonalUnread, 1);
    List().Base->Seek(entry->Position);
    List().Base->ReadHeader();
    EXPECT_TRUE(List().Base->Read);
}

TEST_F(ReadingWindowTest, MovingOnSoonerLeavesTheMessageUnread) {
    ASSERT_GE(List().Rows.size(), 3u);
    TMessageClass* first = List().Rows[0];
    Select(0);
    Select(1);
    QApplication::processEvents();
    WaitFor([] { return false; }, 700);
    EXPECT_FALSE(first->Read);
    EXPECT_TRUE(List().Rows[1]->Read);
    EXPECT_EQ(Area("RUTEST").Read, 6);
}

TEST_F(ReadingWindowTest, CountersNeverGoBelowZero) {
    Area("RUTEST").Read = 0;
    Area("RUTEST").PersonalUnread = 0;
    const int personal = RowWhere("Personal one", "Иван Петров");
    Select(personal);
    TMessageClass* entry = List().Rows[static_cast<size_t>(personal)];
    ASSERT_TRUE(WaitFor([&] { return entry->Read; }));
    EXPECT_EQ(Area("RUTEST").Read, 0);
    EXPECT_EQ(Area("RUTEST").PersonalUnread, 0);
}

TEST_F(ReadingWindowTest, DeleteOneNeverAsksDeleteTwoAsksWithTheCount) {
    TBoxAnswer boxes(QMessageBox::No);
    Select(0);
    frame_->RunCommand(TCommand::Delete);
    EXPECT_TRUE(boxes.Texts.isEmpty());
    EXPECT_TRUE(List().Rows[0]->Deleted);
    EXPECT_EQ(Text(), QStringLiteral("Сообщение было удалено"));
    EXPECT_EQ(Area("RUTEST").MsgCount, 6);

    SelectRows({1, 2});
    frame_->RunCommand(TCommand::Delete);
    ASSERT_EQ(boxes.Texts.size(), 1);
    EXPECT_EQ(boxes.Texts[0], QStringLiteral("Вы действительно хотите удалить 2 письма(ем)?"));
    EXPECT_FALSE(List().Rows[1]->Deleted);  // answered No
    EXPECT_EQ(Area("RUTEST").MsgCount, 6);
}

TEST_F(ReadingWindowTest, MoveOfTwoNeverAsksAndMovesBoth) {
    TBoxAnswer boxes(QMessageBox::Yes);
    SelectRows({0, 1});
    const std::string first = List().Rows[0]->Subject;
    frame_->Reading().CopySelected(Area("TARGET"), true);
    EXPECT_TRUE(boxes.Texts.isEmpty());
    EXPECT_TRUE(List().Rows[0]->Deleted);
    EXPECT_TRUE(List().Rows[1]->Deleted);
    EXPECT_EQ(Area("TARGET").MsgCount, 2);
    EXPECT_EQ(Area("RUTEST").MsgCount, 5);
    TOpenedBase target(Area("TARGET"), TBaseMode::Private);
    ASSERT_NE(target.get(), nullptr);
    ASSERT_EQ(target.get()->Count(), 2);
    target.get()->ReadMessage(0);
    EXPECT_EQ(target.get()->Subject, first);
}

TEST_F(ReadingWindowTest, DisplayModesAndCodePages) {
    const int boxes = RowWhere("Special");
    ASSERT_GE(boxes, 0);
    Select(boxes);
    EXPECT_TRUE(Text().contains(QStringLiteral("+====+")));
    frame_->RunCommand(TCommand::FontPseudoGraphics);
    EXPECT_TRUE(Text().contains(QString::fromUtf8("╔════╗"))) << Text().toStdString();
    EXPECT_FALSE(frame_->Commands().Action(TCommand::CodingWindows)->isEnabled());
    EXPECT_FALSE(Settings.TextInWindowsCodePage);

    frame_->RunCommand(TCommand::FontProportional);
    EXPECT_TRUE(frame_->Commands().Action(TCommand::CodingWindows)->isEnabled());
    const int cyrillic = RowWhere("Привет всем");
    Select(cyrillic);
    EXPECT_TRUE(Text().contains(QString::fromUtf8("Привет всем!")));
    frame_->RunCommand(TCommand::CodingWindows);
    EXPECT_TRUE(Settings.TextInWindowsCodePage);
    EXPECT_FALSE(Text().contains(QString::fromUtf8("Привет всем!")));  // CP866 bytes read as CP1251
    frame_->RunCommand(TCommand::CodingDos);
    EXPECT_TRUE(Text().contains(QString::fromUtf8("Привет всем!")));
}

TEST_F(ReadingWindowTest, AReadErrorBecomesTheErrorBoxAndNeverEscapes) {
    TBoxAnswer boxes(QMessageBox::Ok);
    // Another program cuts the text file short while the area is listed.
    fs::resize_file(home_.Path() / "bases" / "rutest.jdt", 0);
    Select(1);
    ASSERT_TRUE(WaitFor([&] { return !boxes.Texts.isEmpty(); }));
    EXPECT_TRUE(boxes.Texts[0].startsWith(QStringLiteral("Ошибка при чтении базы:")))
        << boxes.Texts[0].toStdString();
    EXPECT_TRUE(Text().isEmpty());
    EXPECT_FALSE(Settings.TextInWindowsCodePage);
}

TEST_F(ReadingWindowTest, OriginAndTearlineGoIntoTheTemplateListsOnce) {
    OpenTemplateStore();
    WriteTemplate("origin.list", "Always the best!\r\n");
    WriteTemplate("tearline.list", "");
    Select(RowWhere("Special"));
    // Items of the text's pop-up menu.
    const auto popup = [&](TCommand command) { frame_->Commands().Actions(command).front()->trigger(); };
    popup(TCommand::TakeOrigin);
    popup(TCommand::TakeOrigin);
    popup(TCommand::TakeTearline);
    EXPECT_EQ(AnsiToUtf8(ReadTemplate("origin.list")), "Always the best!\r\nТестовая станция \r\n");
    EXPECT_EQ(ReadTemplate("tearline.list"), "TestGen 1.0\r\n");
    CloseTemplateStore();
}

TEST_F(ReadingWindowTest, SelectionMenuSelectsPersonalAndReadRows) {
    const auto item = [&](TCommand command) {
        QAction* action = frame_->Commands().Action(command);
        if (action == nullptr) action = frame_->Commands().Actions(command).front();
        action->trigger();
    };
    item(TCommand::SelectPersonal);
    std::vector<TMessageClass*> selected = frame_->Selection();
    ASSERT_EQ(selected.size(), 2u);
    for (const TMessageClass* entry : selected) EXPECT_EQ(entry->ToName, Settings.FullName);
    item(TCommand::SelectAll);
    EXPECT_EQ(frame_->Selection().size(), List().Rows.size());
    item(TCommand::InvertSelection);
    EXPECT_TRUE(frame_->Selection().empty());
}

TEST_F(ReadingWindowTest, NavigationButtonsMoveTheSelection) {
    Select(0);
    Pane().NavigationButton(TNavigation::Next)->click();
    QApplication::processEvents();
    ASSERT_NE(List().CurrentEntry, nullptr);
    EXPECT_NE(List().RowOf(List().CurrentEntry), 0);
    Pane().NavigationButton(TNavigation::Prev)->click();
    QApplication::processEvents();
    EXPECT_EQ(List().RowOf(List().CurrentEntry), 0);
}

}  // namespace
}  // namespace pelmar::ui

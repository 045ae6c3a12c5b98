// The main window on copies of bases other FTN programs wrote: the area tree with its counters,
// listing an area, a message posted by another process, threading, sorting, commands, layout.
#include <gtest/gtest.h>
#include <pelmar/plugin.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStatusTipEvent>
#include <QSysInfo>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QWindow>
#include <fstream>
#include <stop_token>
#include <thread>

#include "areas/AreaLifetime.h"
#include "areas/ScanThread.h"
#include "areas/gizmo.h"
#include "areas/ui/AreaMngr.h"
#include "core/Settings.h"
#include "core/ui/QtText.h"
#include "editor/ui/DraftKeeper.h"
#include "editor/ui/EditorOpeners.h"
#include "editor/ui/SendMessageForm.h"
#include "editor/ui/TemplEditForm.h"
#include "import/ui/WizardForm.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/ShortLockWaits.h"
#include "msgbase/TosserLock.h"
#include "nodelist/NodeList.h"
#include "platform/Registry.h"
#include "reader/AreaMarks.h"
#include "reader/DraftStore.h"
#include "reader/ui/AboutBox.h"
#include "reader/ui/AreaTreeModel.h"
#include "reader/ui/ErrorReportForm.h"
#include "reader/ui/HeaderControl.h"
#include "reader/ui/MainCommands.h"
#include "reader/ui/MainFrame.h"
#include "reader/ui/MessageListModel.h"
#include "reader/ui/MessageViewPane.h"
#include "reader/ui/StatusPanel.h"
#include "settings/ui/SetupForm.h"
#include "support/TestSupport.h"
#include "support/qt/Child.h"
#include "support/qt/WaitFor.h"

namespace pelmar::ui {
namespace {

using pelmar::test::Child;
namespace fs = std::filesystem;
using pelmar::test::WaitFor;

// Closes every modal message box as soon as it appears and keeps its text.
class TBoxCatcher {
public:
    TBoxCatcher() {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                Texts.push_back(box->text());
                box->accept();
            }
        });
        timer_.start();
    }
    std::vector<QString> Texts;

private:
    QTimer timer_;
};

// A JAM base of `count` messages, every third a reply to the one before it.
void WriteJamBase(const std::string& path, int count) {
    auto base = CreateMessageBase(BaseKindJam);
    base->SetPath(path);
    base->CreateBase();
    base->Open();
    ASSERT_TRUE(base->Active);
    base->UseFlagFiles = false;
    for (int i = 0; i < count; ++i) {
        base->NewMessage();
        base->FromName = "Writer " + std::to_string(i);
        base->ToName = "All";
        base->Subject = "Subject " + std::to_string(i);
        base->OrigAddr = "2:5020/1";
        base->Date = EncodeDateTime(2025, 1, 2, 3, 4, 5);
        base->Attr = AttrLocal;
        base->Kludges = {"MSGID: 2:5020/1 " + std::to_string(1000 + i)};
        if (i % 3 == 2) base->Kludges.push_back("REPLY: 2:5020/1 " + std::to_string(1000 + i - 1));
        base->Text = "Text\r";
        ASSERT_TRUE(base->WriteMessage());
    }
    base->Close();
}

size_t CountEntries(const TMessageClass& root) {
    return root.SubtreeSize();
}

class MainFrameTest : public testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings;
        Settings = TSettings{};
        Settings.FullName = "Sysop";
        const fs::path bases = home_.Path() / "bases";
        fs::create_directories(bases);
        test::CopyFixture("smapi/bases/jam", bases);
        test::CopyFixture("smapi/bases/squish", bases);
        test::CopyFixture("smapi/bases/msg", bases);
        jamPath_ = (bases / "jam" / "ru.test").string();
        {
            TRegistry reg;
            reg.OpenKey("\\" + RootKey + "\\Settings", true);
            reg.WriteBool("SetupDone", true);
            const struct {
                const char* Name;
                int Kind;
                std::string Path;
                const char* Description;
            } areas[] = {{"JAM", BaseKindJam, jamPath_, "Test echo"},
                         {"SQUISH", BaseKindSquish, (bases / "squish" / "ru.test").string(), "Squish echo"},
                         {"MSG", BaseKindMsg, (bases / "msg" / "su.general").string(), "General"},
                         {"BIG", BaseKindJam, (bases / "big").string(), "Generated"}};
            for (const auto& area : areas) {
                reg.OpenKey("\\" + RootKey + "\\Areas\\Fido\\" + area.Name, true);
                reg.WriteInteger("Kind", area.Kind);
                reg.WriteString("Path", area.Path);
                reg.WriteString("Description", area.Description);
            }
        }
        WriteJamBase((bases / "big").string(), 120);
        CreateAreaManager();
        ASSERT_NE(AreaManager(), nullptr);
    }

    void TearDown() override {
        StoreAreasAndRelease();
        Settings = saved_;
    }

    TAreaInfo& Area(const char* name) { return *AreaManager()->Root().FindChild("Fido")->FindChild(name); }

    // The JAM area's second message header claims a subfield block far beyond the file.
    void DamageSecondHeader() {
        std::string jdx = test::ReadFile(jamPath_ + ".jdx");
        ASSERT_GE(jdx.size(), 16u);
        const uint32_t offset = static_cast<uint8_t>(jdx[12]) | static_cast<uint8_t>(jdx[13]) << 8 |
                                static_cast<uint8_t>(jdx[14]) << 16 |
                                static_cast<uint32_t>(static_cast<uint8_t>(jdx[15])) << 24;
        std::string jhr = test::ReadFile(jamPath_ + ".jhr");
        ASSERT_LT(offset + 12u, jhr.size());
        for (int i = 0; i < 4; ++i) jhr[offset + 8 + i] = '\xF0';
        test::WriteFile(jamPath_ + ".jhr", jhr);
    }

    // One pass of the scan on its own thread, then its notification as the program queues it.
    void ScanPass(TMainFrame& frame) {
        std::jthread scan([&frame](std::stop_token stop) {
            TScanThread::Pass(stop);
            QMetaObject::invokeMethod(
                qApp, [&frame] { frame.ScanPassFinished(TScanReport{.FullPass = true}); }, Qt::QueuedConnection);
        });
        scan.join();
        QApplication::processEvents();
    }

    QString Caption(TMainFrame& frame, TAreaInfo& area) {
        return frame.AreaModel().IndexOf(&area).data().toString();
    }

    void Select(TMainFrame& frame, TAreaInfo& area) {
        Child<QTreeView>(frame, "AreaTree")->setCurrentIndex(frame.AreaModel().IndexOf(&area));
    }

    static QString Expected(const TAreaInfo& area) {
        return ToQt(area.Name) + QStringLiteral("(%1/%2)").arg(area.Read.load()).arg(area.MsgCount.load());
    }

    test::ScopedHome home_;
    TSettings saved_;
    std::string jamPath_;
};

TEST_F(MainFrameTest, ListsTheSelectedAreaWithCountersAndStatusTexts) {
    TMainFrame frame;
    frame.show();
    ASSERT_EQ(frame.AreaModel().rowCount(), 1);  // "Fido" with its four areas
    EXPECT_EQ(frame.AreaModel().rowCount(frame.AreaModel().index(0, 0)), 4);

    ScanPass(frame);
    TAreaInfo& jam = Area("JAM");
    ASSERT_GT(jam.MsgCount.load(), 0);
    EXPECT_EQ(Caption(frame, jam), Expected(jam));
    EXPECT_EQ(frame.AreaModel().IndexOf(&jam).data(Qt::StatusTipRole).toString(),
              QStringLiteral("\x01Test echo\x01, cообщений: %1, непрочитанных: %2, личных: %3")
                  .arg(jam.MsgCount.load())
                  .arg(jam.Read.load())
                  .arg(jam.PersonalUnread.load()));

    Select(frame, jam);
    TThreadList& list = frame.List();
    ASSERT_EQ(list.CurrentArea, &jam);
    ASSERT_NE(list.ThreadRoot, nullptr);
    ASSERT_NE(list.Base, nullptr);
    EXPECT_EQ(CountEntries(*list.ThreadRoot), static_cast<size_t>(list.Base->Count()));
    // Collapsed threads: one row per top-level entry, some of them with replies.
    EXPECT_EQ(list.Rows.size(), list.ThreadRoot->Replies.size());
    EXPECT_EQ(frame.ListModel().rowCount(), static_cast<int>(list.Rows.size()));
    EXPECT_TRUE(std::any_of(list.Rows.begin(), list.Rows.end(), [](auto* e) { return e->HasReplies(); }));
    EXPECT_EQ(frame.ListModel().index(0).data().toString(), ToQt(list.Rows[0]->Subject));
    EXPECT_FALSE(frame.ListModel().index(0).data(TMessageListModel::DateRole).toString().isEmpty());

    EXPECT_EQ(frame.StatusPanel(0)->text(), QString());
    EXPECT_EQ(frame.StatusPanel(1)->text(), QStringLiteral("Пелмар " PELMAR_VERSION_TEXT));
    EXPECT_EQ(frame.StatusPanel(2)->text(), QStringLiteral("Ok"));

    // Another area, then none: the list follows and empties.
    Select(frame, Area("SQUISH"));
    EXPECT_EQ(list.CurrentArea, &Area("SQUISH"));
    EXPECT_GT(frame.ListModel().rowCount(), 0);
    frame.ClearSelection();
    EXPECT_EQ(list.CurrentArea, nullptr);
    EXPECT_EQ(frame.ListModel().rowCount(), 0);
}

// A click in the empty part of the tree cleared the view's selection and so closed the open area;
// Enter on the area with the focus frame then opened nothing.
TEST_F(MainFrameTest, PressBelowTheAreasKeepsTheOpenAreaAndEnterOpensTheFocusedOne) {
    TMainFrame frame;
    frame.resize(900, 700);
    frame.show();
    auto* tree = Child<QTreeView>(frame, "AreaTree");
    const QPoint below(10, tree->viewport()->height() - 5);
    ASSERT_FALSE(tree->indexAt(below).isValid());
    TThreadList& list = frame.List();
    for (const bool twice : {false, true}) {
        Select(frame, Area("JAM"));
        ASSERT_EQ(list.CurrentArea, &Area("JAM"));
        if (twice)
            QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, below);
        else
            QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, below);
        EXPECT_EQ(list.CurrentArea, &Area("JAM")) << (twice ? "double click" : "click");
        EXPECT_GT(frame.ListModel().rowCount(), 0);
    }

    // The focus frame on an area nothing selected, as after the start.
    tree->selectionModel()->clearSelection();
    ASSERT_EQ(list.CurrentArea, nullptr);
    tree->selectionModel()->setCurrentIndex(frame.AreaModel().IndexOf(&Area("SQUISH")),
                                            QItemSelectionModel::NoUpdate);
    QTest::keyClick(tree, Qt::Key_Return);
    EXPECT_EQ(list.CurrentArea, &Area("SQUISH"));
    EXPECT_GT(frame.ListModel().rowCount(), 0);
}

TEST_F(MainFrameTest, MessagePostedByAnotherProgramAppearsAndTheCountersFollow) {
    TMainFrame frame;
    frame.show();
    ScanPass(frame);
    TAreaInfo& jam = Area("JAM");
    const int total = jam.MsgCount.load(), unread = jam.Read.load();
    Select(frame, jam);
    const size_t entries = CountEntries(*frame.List().ThreadRoot);
    Child<QListView>(frame, "MessageView")->setCurrentIndex(frame.ListModel().index(1));
    const TMessageClass* selected = frame.List().CurrentEntry;
    ASSERT_NE(selected, nullptr);

    test::WriteFile(home_.Path() / "body.txt", "Hello from outside\n");
    const std::string command = "'" + test::ToolPath() + "' post --kind jam '" + jamPath_ +
                                "' --orig 2:5020/1 --from Tester --to All --subject Fresh <'" +
                                (home_.Path() / "body.txt").string() + "' >/dev/null 2>&1";
    ASSERT_EQ(test::RunCommand(command), 0);

    ScanPass(frame);
    EXPECT_EQ(jam.MsgCount.load(), total + 1);
    EXPECT_EQ(jam.Read.load(), unread + 1);
    EXPECT_EQ(Caption(frame, jam), Expected(jam));

    // The count names the open area: the list takes the new message in place, the selection stays.
    const auto listed = [&frame] {
        const auto& rows = frame.List().Rows;
        return std::any_of(rows.begin(), rows.end(), [](auto* e) { return e->Subject == "Fresh"; });
    };
    EXPECT_FALSE(listed());
    frame.ScanPassFinished(TScanReport{.CountedAreaIds = {Area("MSG").ID, jam.ID}});
    QApplication::processEvents();
    ASSERT_NE(frame.List().ThreadRoot, nullptr);
    EXPECT_EQ(CountEntries(*frame.List().ThreadRoot), entries + 1);
    EXPECT_TRUE(listed());
    EXPECT_EQ(frame.List().CurrentEntry, selected);
    EXPECT_EQ(Child<QListView>(frame, "MessageView")->currentIndex().row(), 1);

    // Told while the tosser still holds the base: nothing is taken then, and the window asks again
    // by itself once the lock is gone (no further file event has to come).
    ASSERT_EQ(test::RunCommand(command), 0);
    {
        const test::TTosserLock tosser(jamPath_ + ".jhr", 1, 20000);
        ASSERT_TRUE(tosser.Locked);
        frame.ScanPassFinished(TScanReport{.CountedAreaIds = {jam.ID}});
        QApplication::processEvents();
        EXPECT_EQ(CountEntries(*frame.List().ThreadRoot), entries + 1);
    }
    EXPECT_TRUE(WaitFor([&] { return CountEntries(*frame.List().ThreadRoot) == entries + 2; }));
    EXPECT_EQ(frame.List().CurrentEntry, selected);
}

TEST_F(MainFrameTest, DamagedHeaderIsReportedOnceAndTheRestIsListed) {
    DamageSecondHeader();

    TBoxCatcher boxes;
    TMainFrame frame;
    frame.show();
    Select(frame, Area("JAM"));
    ASSERT_TRUE(WaitFor([&] { return !boxes.Texts.empty(); }));
    QApplication::processEvents();
    ASSERT_EQ(boxes.Texts.size(), 1u);
    EXPECT_TRUE(boxes.Texts[0].startsWith(QStringLiteral("Ошибка при чтении базы:\r\n")))
        << boxes.Texts[0].toStdString();
    ASSERT_NE(frame.List().ThreadRoot, nullptr);
    EXPECT_EQ(CountEntries(*frame.List().ThreadRoot), static_cast<size_t>(frame.List().Base->Count() - 1));
}

// A message another program added whose header cannot be read: the box comes at once, not when
// another area is opened.
TEST_F(MainFrameTest, ReadErrorOfAnAddedMessageIsShownWithoutWaitingForTheNextArea) {
    TBoxCatcher boxes;
    TMainFrame frame;
    frame.show();
    Select(frame, Area("JAM"));
    QApplication::processEvents();
    ASSERT_TRUE(boxes.Texts.empty());
    DamageSecondHeader();
    MainWindowServices().MessageAdded(Area("JAM"), 1);
    EXPECT_TRUE(WaitFor([&] { return !boxes.Texts.empty(); }, 2000));
    ASSERT_EQ(boxes.Texts.size(), 1u);
    EXPECT_TRUE(boxes.Texts[0].startsWith(QStringLiteral("Ошибка при чтении базы:\r\n")))
        << boxes.Texts[0].toStdString();
}

// Ctrl with a click on "reply" quotes the control lines; the Ctrl of the Ctrl+R key does not.
TEST_F(MainFrameTest, CtrlRRepliesWithoutQuotingTheControlLines) {
    TMainFrame frame;
    frame.show();
    Select(frame, Area("JAM"));
    Child<QListView>(frame, "MessageView")->setCurrentIndex(frame.ListModel().index(0));
    ASSERT_FALSE(frame.List().CurrentEntry->MsgId.empty());
    QTest::keyClick(frame.windowHandle(), Qt::Key_R, Qt::ControlModifier);
    ASSERT_EQ(Editors().size(), 1u);
    const std::string body = Editors().front()->BodyText();
    for (TSendMessageForm* e : std::vector<TSendMessageForm*>(Editors())) delete e;
    EXPECT_NE(body.find("> "), std::string::npos) << body;
    EXPECT_EQ(body.find("@MSGID"), std::string::npos) << body;
}

TEST_F(MainFrameTest, ThreadingToggleAndSortingKeepTheSelectedMessage) {
    TMainFrame frame;
    frame.show();
    Select(frame, Area("JAM"));
    TThreadList& list = frame.List();
    const size_t all = CountEntries(*list.ThreadRoot);
    const size_t threadedRows = list.Rows.size();
    ASSERT_LT(threadedRows, all);
    // A top-level entry with replies, selected.
    int row = 0;
    while (row < static_cast<int>(list.Rows.size()) && !list.Rows[static_cast<size_t>(row)]->HasReplies())
        ++row;
    ASSERT_LT(row, static_cast<int>(list.Rows.size()));
    const std::string msgId = list.Rows[static_cast<size_t>(row)]->MsgId;
    Child<QListView>(frame, "MessageView")->setCurrentIndex(frame.ListModel().index(row));
    ASSERT_NE(list.CurrentEntry, nullptr);

    QAction* threads = frame.Commands().Action(TCommand::BuildThreads);
    ASSERT_TRUE(threads->isEnabled());
    threads->trigger();
    EXPECT_FALSE(Settings.BuildThreads);
    EXPECT_EQ(list.Rows.size(), all);
    ASSERT_NE(list.CurrentEntry, nullptr);
    EXPECT_EQ(list.CurrentEntry->MsgId, msgId);

    threads->trigger();
    EXPECT_TRUE(Settings.BuildThreads);
    EXPECT_EQ(list.Rows.size(), threadedRows);
    ASSERT_NE(list.CurrentEntry, nullptr);
    EXPECT_EQ(list.CurrentEntry->MsgId, msgId);

    // A press on the expander picture of the thread opens it; another closes it.
    const QRect rect = Child<QListView>(frame, "MessageView")->visualRect(frame.ListModel().index(row));
    const auto press = [&](int x) {
        const QPointF at(rect.left() + x, rect.center().y());
        QMouseEvent event(QEvent::MouseButtonPress, at,
                          Child<QListView>(frame, "MessageView")->viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Child<QListView>(frame, "MessageView")->viewport(), &event);
    };
    const size_t replies = list.Rows[static_cast<size_t>(row)]->Replies.size();
    press(RowIndent / 2);
    EXPECT_TRUE(list.Rows[static_cast<size_t>(row)]->Expanded);
    EXPECT_GE(list.Rows.size(), threadedRows + replies);
    EXPECT_EQ(frame.ListModel().rowCount(), static_cast<int>(list.Rows.size()));
    press(RowIndent / 2);
    EXPECT_EQ(list.Rows.size(), threadedRows);
    press(RowIndent + 4);  // the status picture: no change
    EXPECT_EQ(list.Rows.size(), threadedRows);

    // "Тема" twice: descending; then "От": ascending by sender, the arrow moves.
    emit Child<THeaderControl>(frame, "ExHeaderControl1")->SortClicked(SectionSubject);
    EXPECT_EQ(Child<THeaderControl>(frame, "ExHeaderControl1")->ArrowSection(), SectionSubject);
    EXPECT_TRUE(Child<THeaderControl>(frame, "ExHeaderControl1")->ArrowAscending());
    emit Child<THeaderControl>(frame, "ExHeaderControl1")->SortClicked(SectionSubject);
    EXPECT_FALSE(Child<THeaderControl>(frame, "ExHeaderControl1")->ArrowAscending());
    emit Child<THeaderControl>(frame, "ExHeaderControl1")->SortClicked(SectionFrom);
    EXPECT_EQ(Child<THeaderControl>(frame, "ExHeaderControl1")->ArrowSection(), SectionFrom);
    EXPECT_TRUE(Child<THeaderControl>(frame, "ExHeaderControl1")->ArrowAscending());
    ASSERT_NE(list.CurrentEntry, nullptr);
    EXPECT_EQ(list.CurrentEntry->MsgId, msgId);
    EXPECT_EQ(frame.ListModel().rowCount(), static_cast<int>(list.Rows.size()));
}

TEST_F(MainFrameTest, InvertSelectsExactlyTheOtherRowsWithThreadsOpenAndClosed) {
    TMainFrame frame;
    frame.show();
    Select(frame, Area("BIG"));
    TThreadList& list = frame.List();
    ASSERT_EQ(list.Rows.size(), 80u);  // 40 of the 120 are replies in closed threads
    // One thread open: its reply is a row of its own, the other replies stay hidden.
    int open = 0;
    while (!list.Rows[static_cast<size_t>(open)]->HasReplies()) ++open;
    list.ExpandThread(*list.Rows[static_cast<size_t>(open)], open);
    const int rows = frame.ListModel().rowCount();
    ASSERT_EQ(rows, 81);
    // Overlapping ranges, single rows, the open thread's head without its reply, the last row.
    QItemSelectionModel& model = *Child<QListView>(frame, "MessageView")->selectionModel();
    const auto pick = [&](int first, int last) {
        model.select(QItemSelection(frame.ListModel().index(first), frame.ListModel().index(last)),
                     QItemSelectionModel::Select);
    };
    pick(open, open);
    pick(5, 9);
    pick(7, 12);
    pick(30, 30);
    pick(rows - 1, rows - 1);
    std::vector<TMessageClass*> chosen, others;
    for (int row = 0; row < rows; ++row) {
        const bool picked = row == open || (row >= 5 && row <= 12) || row == 30 || row == rows - 1;
        (picked ? chosen : others).push_back(list.Rows[static_cast<size_t>(row)]);
    }
    ASSERT_EQ(frame.Selection(), chosen);

    frame.RunCommand(TCommand::InvertSelection);
    EXPECT_EQ(frame.Selection(), others);
    frame.RunCommand(TCommand::InvertSelection);
    EXPECT_EQ(frame.Selection(), chosen);
    frame.RunCommand(TCommand::SelectAll);
    EXPECT_EQ(frame.Selection(), list.Rows);
    frame.RunCommand(TCommand::InvertSelection);
    EXPECT_TRUE(frame.Selection().empty());
}

// Reading with the keyboard alone: the tree-view keys open and close a thread, Shift+C marks the
// whole area read (replies in closed threads too), U marks the shown message unread again, and
// Space reads on into the next area of the tree with unread mail. Each mark is on disk and in the
// counters and captions at once.
TEST_F(MainFrameTest, KeyboardReadingOpensThreadsMarksAndReadsOnAcrossAreas) {
    TMainFrame frame;
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    ScanPass(frame);
    TAreaInfo& big = Area("BIG");
    ASSERT_EQ(big.Read.load(), 120);
    Select(frame, big);
    TThreadList& list = frame.List();
    int head = 0;
    while (!list.Rows[static_cast<size_t>(head)]->HasReplies()) ++head;
    TMessageClass* thread = list.Rows[static_cast<size_t>(head)];
    frame.SelectListRow(head);
    Child<QListView>(frame, "MessageView")->setFocus();
    QWindow* window = frame.windowHandle();
    const size_t closed = list.Rows.size();
    const auto key = [&](int code, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(window, static_cast<Qt::Key>(code), modifiers);
        QApplication::processEvents();
    };

    key(Qt::Key_Right);  // opens the thread
    EXPECT_EQ(list.Rows.size(), closed + 1);
    EXPECT_EQ(list.CurrentEntry, thread);
    key(Qt::Key_Right);  // into its reply
    EXPECT_EQ(list.CurrentEntry, thread->Replies[0].get());
    key(Qt::Key_Left);  // back to the parent
    EXPECT_EQ(list.CurrentEntry, thread);
    key(Qt::Key_Left);  // closes it
    EXPECT_EQ(list.Rows.size(), closed);
    key(Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_EQ(list.Rows.size(), closed + 1);
    key(Qt::Key_Minus);
    EXPECT_EQ(list.Rows.size(), closed);
    EXPECT_EQ(frame.ListModel().rowCount(), static_cast<int>(closed));
    EXPECT_EQ(list.CurrentEntry, thread);

    const auto unreadOnDisk = [](const TAreaInfo& area) {
        auto base = CreateMessageBase(area.Kind);
        base->SetPath(area.Path);
        base->Open();
        return base->CountUnread();
    };
    key(Qt::Key_C, Qt::ShiftModifier);
    EXPECT_EQ(big.Read.load(), 0);
    EXPECT_EQ(unreadOnDisk(big), 0);
    EXPECT_EQ(Caption(frame, big), Expected(big));
    EXPECT_TRUE(frame.StatusPanel(2)->text().contains(QStringLiteral("писем: 120")))
        << frame.StatusPanel(2)->text().toStdString();
    EXPECT_TRUE(thread->Replies[0]->Read);

    key(Qt::Key_U);
    EXPECT_FALSE(thread->Read);
    EXPECT_EQ(big.Read.load(), 1);
    EXPECT_EQ(unreadOnDisk(big), 1);
    EXPECT_EQ(Caption(frame, big), Expected(big));
    key(Qt::Key_C, Qt::ShiftModifier);
    EXPECT_EQ(big.Read.load(), 0);
    {
        // Another program holds the base: the mark is refused, says why, and nothing moves.
        const test::TShortLockWaits waits(std::chrono::milliseconds(100), std::chrono::milliseconds(50));
        const test::TTosserLock tosser(big.Path + ".jhr", 1, 60000);
        ASSERT_TRUE(tosser.Locked);
        key(Qt::Key_U);
        EXPECT_TRUE(frame.StatusPanel(2)->text().contains(QStringLiteral("не снята")))
            << frame.StatusPanel(2)->text().toStdString();
        EXPECT_TRUE(thread->Read);
        EXPECT_EQ(big.Read.load(), 0);
        EXPECT_EQ(unreadOnDisk(big), 0);
        EXPECT_EQ(Caption(frame, big), Expected(big));
    }

    // Nothing unread is left here: Space goes on to the next area of the tree that has some.
    std::vector<TAreaInfo*> order;
    for (int row = 0; row < frame.AreaModel().rowCount(); ++row) {
        const QModelIndex group = frame.AreaModel().index(row, 0);
        for (int child = 0; child < frame.AreaModel().rowCount(group); ++child)
            order.push_back(TAreaTreeModel::AreaAt(frame.AreaModel().index(child, 0, group)));
    }
    const auto at = std::find(order.begin(), order.end(), &big);
    ASSERT_NE(at, order.end());
    TAreaInfo* expected = nullptr;
    for (size_t step = 1; step < order.size() && expected == nullptr; ++step) {
        TAreaInfo* area = order[(static_cast<size_t>(at - order.begin()) + step) % order.size()];
        if (area->Read.load() > 0) expected = area;
    }
    ASSERT_NE(expected, nullptr);
    for (int i = 0; i < 20 && list.CurrentArea == &big; ++i) key(Qt::Key_Space);
    ASSERT_EQ(list.CurrentArea, expected);
    ASSERT_NE(list.CurrentEntry, nullptr);
    EXPECT_FALSE(list.CurrentEntry->Read);
    EXPECT_EQ(Child<QTreeView>(frame, "AreaTree")->currentIndex(), frame.AreaModel().IndexOf(expected));
    // On within that area: the text is paged to its end, then the next unread message follows.
    TMessageClass* first = list.CurrentEntry;
    for (int i = 0; i < 50 && list.CurrentEntry == first; ++i) key(Qt::Key_Space);
    ASSERT_NE(list.CurrentEntry, nullptr);
    EXPECT_NE(list.CurrentEntry, first);
    EXPECT_FALSE(list.CurrentEntry->Read);
}

// F10 brings the main window up from any other window of the program (one that knows nothing of
// it, as the editors and the node browser do not).
TEST_F(MainFrameTest, F10RaisesTheMainWindowFromAnotherWindow) {
    TMainFrame frame;
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    QWidget other;
    other.setObjectName(QStringLiteral("Other"));
    other.show();
    other.activateWindow();
    ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &other; }, 2000));
    auto* shortcut = frame.findChild<QShortcut*>(QStringLiteral("MainWindowShortcut"));
    ASSERT_NE(shortcut, nullptr);
    int fired = 0;
    QObject::connect(shortcut, &QShortcut::activated, [&] { ++fired; });
    QTest::keyClick(other.windowHandle(), Qt::Key_F10);
    EXPECT_EQ(fired, 1);
    EXPECT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &frame; }, 2000));
}

TEST_F(MainFrameTest, CommandsWithoutTheirWindowsStayVisibleAndDisabled) {
    TMainFrame frame;
    frame.show();
    Select(frame, Area("JAM"));
    Child<QListView>(frame, "MessageView")->setCurrentIndex(frame.ListModel().index(0));
    // The rule allows a reply to the shown message, and the editor exists.
    EXPECT_TRUE(frame.CommandState().Allowed(TCommand::Reply));
    EXPECT_TRUE(frame.Commands().Action(TCommand::Reply)->isEnabled());
    for (std::size_t i = 0; i < CommandCount; ++i) {
        const auto command = static_cast<TCommand>(i);
        if (frame.CommandState().Available(command)) continue;
        QAction* action = frame.Commands().Action(command);
        ASSERT_NE(action, nullptr) << i;
        EXPECT_TRUE(action->isVisible()) << i;
        EXPECT_FALSE(action->isEnabled()) << i;
    }
    for (const TCommand command :
         {TCommand::BuildThreads, TCommand::Exit, TCommand::FontMonospace, TCommand::Copy, TCommand::Find,
          TCommand::Bookmarks, TCommand::AreasDialog, TCommand::Settings, TCommand::GoldedImport,
          TCommand::TemplateEditor, TCommand::About, TCommand::ErrorReport}) {
        EXPECT_TRUE(frame.Commands().Action(command)->isEnabled()) << static_cast<int>(command);
    }
    // Hiding the toolbars hides the animation too.
    QAction* bars = frame.Commands().Action(TCommand::ShowToolbars);
    bars->trigger();
    EXPECT_FALSE(Child<QToolBar>(frame, "Toolbar971")->isVisible());
    EXPECT_FALSE(Child<QToolBar>(frame, "ToolWindow971")->isVisible());
    bars->trigger();
    EXPECT_TRUE(Child<QToolBar>(frame, "Toolbar971")->isVisible());
    EXPECT_TRUE(Child<QToolBar>(frame, "ToolWindow971")->isVisible());
}

// The template editor is kept between uses, the about box is modal and gone afterwards, the error
// report is not modal and starts a netmail with the system's versions in it.
TEST_F(MainFrameTest, TemplateEditorAboutBoxAndErrorReportOpen) {
    Settings.SelfAKA = {"2:5020/1"};
    TMainFrame frame;
    frame.show();
    frame.RunCommand(TCommand::TemplateEditor);
    TTemplEditForm* templates = frame.TemplateEditor();
    ASSERT_NE(templates, nullptr);
    EXPECT_TRUE(templates->isVisible());
    templates->close();
    frame.RunCommand(TCommand::TemplateEditor);
    EXPECT_EQ(frame.TemplateEditor(), templates);
    EXPECT_TRUE(templates->isVisible());

    QString name, qt;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<TAboutBox*>(QApplication::activeModalWidget())) {
            name = Child<QLabel>(*box, "NameLabel")->text();
            qt = Child<QLabel>(*box, "QtLabel")->text();
            Child<QPushButton>(*box, "OkButton")->click();
        }
    });
    frame.RunCommand(TCommand::About);
    EXPECT_EQ(name, QStringLiteral("Пелмар " PELMAR_VERSION_TEXT));
    EXPECT_TRUE(qt.contains(QString::fromLatin1(qVersion()))) << qt.toStdString();
    EXPECT_EQ(frame.findChild<TAboutBox*>(), nullptr);

    frame.RunCommand(TCommand::ErrorReport);
    TErrorReportForm* report = frame.ErrorReport();
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->isVisible());
    EXPECT_FALSE(report->isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    const QString text = Child<QPlainTextEdit>(*report, "ReportText")->toPlainText();
    for (const QString& part : {QStringLiteral(PELMAR_VERSION_TEXT), QString::fromLatin1(qVersion()),
                                QSysInfo::kernelVersion(), QStringLiteral("2:5020/1")})
        EXPECT_TRUE(text.contains(part)) << part.toStdString();
    Child<QPushButton>(*report, "LetterButton")->click();
    ASSERT_EQ(Editors().size(), 1u);
    TSendMessageForm* letter = Editors().front();
    const std::string body = letter->BodyText();
    const std::string address = letter->DestAddress();
    delete letter;
    EXPECT_NE(body.find(std::string("Qt ") + qVersion()), std::string::npos) << body;
    EXPECT_TRUE(address.empty()) << address;
}

// After the settings dialog, cancelled or not, wrapping, the shown message and the auto-save timer
// follow the settings; a confirmed one also checks the nodelist, and a failed save is reported.
TEST_F(MainFrameTest, SettingsTakeEffectAtOnceAndAFailedSaveIsReported) {
    test::WriteFile(home_.Path() / "net", "Zone,2\r\nHost,5020\r\n,1,S,L,Sysop_One,-,300\r\n");
    TNodeList nodes{home_.Path().string() + "/"};
    NodeList = &nodes;
    struct TReset {
        ~TReset() { NodeList = nullptr; }
    } reset;
    Settings.AutoCompile = false;
    Settings.NodeListFiles = {(home_.Path() / "net").string()};  // never compiled: outdated
    TMainFrame frame;
    frame.show();
    Select(frame, Area("JAM"));
    Child<QListView>(frame, "MessageView")->setCurrentIndex(frame.ListModel().index(0));
    QPlainTextEdit* view = frame.MessagePane().TextView();
    ASSERT_TRUE(view->toPlainText().contains(QStringLiteral("MSGID:")));

    Settings.ShowKludges = false;
    Settings.LineWrap = false;
    Settings.SaveTime = 7;
    const auto runSettings = [&frame](bool confirm) {
        QTimer::singleShot(0, [confirm] {
            if (auto* form = qobject_cast<TSetupForm*>(QApplication::activeModalWidget()))
                confirm ? form->accept() : form->reject();
        });
        frame.RunCommand(TCommand::Settings);
    };
    TBoxCatcher boxes;
    runSettings(false);
    EXPECT_TRUE(boxes.Texts.empty());  // no nodelist question after a cancel
    EXPECT_EQ(view->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_FALSE(view->toPlainText().contains(QStringLiteral("MSGID:")));
    EXPECT_TRUE(frame.DraftKeeper().TimerActive());
    EXPECT_EQ(frame.DraftKeeper().IntervalMs(), 7 * 60000);

    TRegistryStore::Instance().SetSaveFaultForTesting(TRegistryStore::TSaveFault::Write);
    runSettings(true);
    TRegistryStore::Instance().SetSaveFaultForTesting(TRegistryStore::TSaveFault::None);
    ASSERT_EQ(boxes.Texts.size(), 2u);
    EXPECT_TRUE(boxes.Texts[0].startsWith(QStringLiteral("Настройки не сохранены")))
        << boxes.Texts[0].toStdString();
    EXPECT_TRUE(boxes.Texts[1].contains(QStringLiteral("Откомпилировать список?")));
}

// The settings preview shows the sample in the face the message view uses now.
TEST_F(MainFrameTest, SettingsPreviewUsesTheChosenFontMode) {
    Settings.FixSize = 21;
    Settings.VarSize = 9;
    TMainFrame frame;
    frame.show();
    const struct {
        TCommand Mode;
        int PointSize;
    } rows[] = {{TCommand::FontMonospace, 21},
                {TCommand::FontProportional, 9},
                {TCommand::FontPseudoGraphics, 9},
                {TCommand::FontMonospace, 21}};
    for (const auto& row : rows) {
        frame.RunCommand(row.Mode);
        TSetupForm form(&frame);
        const QString text = Child<QTextEdit>(form, "RichEdit2")->toPlainText();
        const int at = text.indexOf(QStringLiteral("Текст письма"));
        ASSERT_GE(at, 0) << text.toStdString();
        QTextCursor cursor(Child<QTextEdit>(form, "RichEdit2")->document());
        cursor.setPosition(at + 1);
        EXPECT_EQ(cursor.charFormat().font().pointSize(), row.PointSize) << static_cast<int>(row.Mode);
    }
}

TEST_F(MainFrameTest, RemovedNodeLeavesItsListedAreaAndNodesComeBack) {
    TMainFrame frame;
    frame.show();
    TAreaInfo& msg = Area("MSG");
    Select(frame, msg);
    ASSERT_EQ(frame.List().CurrentArea, &msg);
    TAreaTreeView& view = frame;
    view.DeleteNode(msg);
    EXPECT_FALSE(view.HasNode(msg));
    EXPECT_FALSE(frame.AreaModel().IndexOf(&msg).isValid());
    EXPECT_EQ(frame.List().CurrentArea, nullptr);
    EXPECT_EQ(frame.ListModel().rowCount(), 0);
    EXPECT_EQ(frame.AreaModel().rowCount(frame.AreaModel().index(0, 0)), 3);

    msg.MsgCount = 9;
    msg.Read = 4;
    view.BeginUpdate();
    view.AddNode(msg);
    view.EndUpdate();
    const QModelIndex back = frame.AreaModel().IndexOf(&msg);
    ASSERT_TRUE(back.isValid());
    EXPECT_EQ(back.data().toString(), QStringLiteral("MSG(4/9)"));
    EXPECT_EQ(back.parent(), frame.AreaModel().index(0, 0));
    EXPECT_EQ(TAreaTreeModel::AreaAt(back), &msg);
    Select(frame, msg);
    EXPECT_EQ(frame.List().CurrentArea, &msg);
}

// A JAM base removed after a pass counted it: the opening itself finds out, the status line says
// why (the list stays empty, without "Ok") and the node gets its mark before the next pass. A base
// a tosser is writing: the pass finds it, the hint says why.
TEST_F(MainFrameTest, UnopenableBaseSaysWhyInTheTreeAndTheStatusLine) {
    TMainFrame frame;
    frame.show();
    TAreaInfo& jam = Area("JAM");
    const std::string jhr = test::ReadFile(jamPath_ + ".jhr");
    const std::string jdx = test::ReadFile(jamPath_ + ".jdx");
    const auto restore = [&] {
        test::WriteFile(jamPath_ + ".jhr", jhr);
        test::WriteFile(jamPath_ + ".jdx", jdx);
    };
    const auto overlay = [&] {
        return frame.AreaModel().IndexOf(&jam).data(TAreaTreeModel::OverlayRole).toInt();
    };
    const auto hint = [&] { return frame.AreaModel().IndexOf(&jam).data(Qt::StatusTipRole).toString(); };

    ScanPass(frame);
    ASSERT_GT(jam.MsgCount.load(), 0);
    ASSERT_NE(overlay(), OverlayNoBase);
    fs::remove(jamPath_ + ".jdx");
    Select(frame, jam);
    EXPECT_EQ(frame.List().CurrentArea, &jam);
    EXPECT_EQ(frame.ListModel().rowCount(), 0);
    EXPECT_EQ(frame.StatusPanel(2)->text(),
              QStringLiteral("Test echo: база не найдена (%1)").arg(QString::fromStdString(jamPath_)));
    EXPECT_EQ(overlay(), OverlayNoBase);
    Select(frame, Area("MSG"));
    restore();

    // Caught halfway through a tosser's write: the scan finds it, the hint and the opening say it.
    fs::resize_file(jamPath_ + ".jhr", 10);
    {
        const test::TTosserLock tosser(jamPath_ + ".jhr", 1, 20000);
        ASSERT_TRUE(tosser.Locked);
        ScanPass(frame);
        const QString reason = QStringLiteral("база заблокирована другой программой");
        EXPECT_EQ(overlay(), OverlayNoBase);
        EXPECT_EQ(hint(),
                  QStringLiteral("\x01Test echo\x01: %1 (%2)").arg(reason, QString::fromStdString(jamPath_)));
        Select(frame, jam);
        EXPECT_EQ(frame.ListModel().rowCount(), 0);
        EXPECT_TRUE(frame.StatusPanel(2)->text().contains(reason))
            << frame.StatusPanel(2)->text().toStdString();
        Select(frame, Area("MSG"));
    }
    restore();
    // Mended: the next pass takes the mark away, and the area lists again.
    ScanPass(frame);
    EXPECT_NE(overlay(), OverlayNoBase);
    Select(frame, jam);
    EXPECT_GT(frame.ListModel().rowCount(), 0);
}

// Changes in the area manager rebuild the tree: the counters stay, the listed area stays selected,
// and an area added meanwhile is counted by the running scan at once, not after its 30-second rest.
TEST_F(MainFrameTest, TreeRebuildKeepsCountersAndSelectionAndCountsNewAreasAtOnce) {
    TMainFrame frame;
    frame.show();
    StartScanThread([&frame](const TScanReport& report) {
        QMetaObject::invokeMethod(
            qApp, [&frame, report] { frame.ScanPassFinished(report); }, Qt::QueuedConnection);
    });
    ASSERT_TRUE(WaitFor([] { return ScanThread()->Passes() >= 1; }));
    TAreaInfo& jam = Area("JAM");
    ASSERT_TRUE(WaitFor([&] { return Caption(frame, jam) == Expected(jam); }));
    Select(frame, jam);
    const int rows = frame.ListModel().rowCount();
    ASSERT_GT(rows, 0);

    TAreaFields fields;
    fields.Name = "FRESH";
    fields.Kind = BaseKindJam;
    fields.Path = (home_.Path() / "bases" / "fresh").string();
    WriteJamBase(fields.Path, 7);
    TAreaInfo& fresh = *AreaManager()->Root().FindChild("Fido")->AddChild(fields);
    frame.BuildAreaTree();

    EXPECT_EQ(Caption(frame, jam), Expected(jam));
    EXPECT_EQ(Caption(frame, Area("SQUISH")), Expected(Area("SQUISH")));
    const QModelIndexList selected = Child<QTreeView>(frame, "AreaTree")->selectionModel()->selectedIndexes();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(TAreaTreeModel::AreaAt(selected.first()), &jam);
    EXPECT_EQ(frame.List().CurrentArea, &jam);
    EXPECT_EQ(frame.ListModel().rowCount(), rows);

    QElapsedTimer counted;
    counted.start();
    ASSERT_TRUE(WaitFor([&] { return Caption(frame, fresh) == QStringLiteral("FRESH(7/7)"); }));
    EXPECT_LT(counted.elapsed(), 15000);
    EXPECT_EQ(ScanThread()->Passes(), 1);
    StopScanThread();
}

TEST_F(MainFrameTest, TreeNodesShowOverlayMarksAndPersonalAreasInBlue) {
    TMainFrame frame;
    frame.resize(800, 600);
    frame.show();
    TAreaInfo& msg = Area("MSG");
    const QModelIndex index = frame.AreaModel().IndexOf(&msg);
    const QRect row = Child<QTreeView>(frame, "AreaTree")->visualRect(index);
    const auto grab = [&] {
        QApplication::processEvents();
        return Child<QTreeView>(frame, "AreaTree")->viewport()->grab(row).toImage();
    };
    const auto bluePixels = [](const QImage& image) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.blue() > 160 && c.red() < 90 && c.green() < 90) ++count;
            }
        }
        return count;
    };
    const QImage plain = grab();
    TAreaMark mark;
    mark.Caption = "MSG";
    mark.Overlay = OverlayUnread;
    frame.AreaModel().SetMark(msg, mark);
    const QImage marked = grab();
    EXPECT_NE(plain, marked);  // the overlay over the picture
    mark.Overlay = OverlayPersonal;
    mark.HasPersonal = true;
    frame.AreaModel().SetMark(msg, mark);
    EXPECT_GT(bluePixels(grab()), bluePixels(marked) + 20);  // the caption in blue
}

TEST_F(MainFrameTest, LayoutAndDisplayModeSurviveTheNextStart) {
    {
        TMainFrame frame;
        frame.show();
        Child<THeaderControl>(frame, "ExHeaderControl1")->resizeSection(SectionFrom, 237);
        frame.RunCommand(TCommand::FontMonospace);
        frame.RunCommand(TCommand::ShowToolbars);
        frame.resize(777, 555);
        QApplication::processEvents();
        Child<QSplitter>(frame, "RxSplitter1")->setSizes({233, 500});
        QApplication::processEvents();
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(TMainFrame::LayoutKey(), false));
    EXPECT_EQ(reg.GetDataType("Placement"), RegDataType::rdBinary);
    EXPECT_EQ(reg.ReadInteger("Width"), 777);
    EXPECT_EQ(reg.ReadInteger("N22.Checked"), 1);
    reg.CloseKey();

    TMainFrame again;
    EXPECT_EQ(Child<THeaderControl>(again, "ExHeaderControl1")->sectionSize(SectionFrom), 237);
    EXPECT_EQ(Child<THeaderControl>(again, "ExHeaderControl1")->visualIndex(0), 0);
    EXPECT_TRUE(again.Commands().Action(TCommand::FontMonospace)->isChecked());
    EXPECT_EQ(again.width(), 777);
    EXPECT_FALSE(again.Commands().Action(TCommand::ShowToolbars)->isChecked());
    again.show();
    QApplication::processEvents();
    EXPECT_EQ(Child<QWidget>(again, "Panel2")->width(), 233);
    EXPECT_FALSE(Child<QToolBar>(again, "Toolbar971")->isVisible());
    EXPECT_FALSE(Child<QToolBar>(again, "ToolWindow971")->isVisible());
}

// Counts left presses that reach the window after the read handed them back.
// A cancelled import changes nothing and leaves the program running.
TEST_F(MainFrameTest, GoldedImportOpensTheWizardAndCancelKeepsTheWindow) {
    TMainFrame frame;
    frame.show();
    const int areas = AreaManager()->Root().ChildCount();
    QString seen;
    QTimer::singleShot(0, [&seen] {
        if (auto* wizard = qobject_cast<TWizardForm*>(QApplication::activeModalWidget())) {
            seen = Child<QLabel>(*wizard, "CaptionLabel")->text();
            Child<QPushButton>(*wizard, "CancelButton")->click();
        }
    });
    frame.Commands().Action(TCommand::GoldedImport)->trigger();
    EXPECT_FALSE(seen.isNull());
    EXPECT_TRUE(frame.isVisible());
    EXPECT_EQ(AreaManager()->Root().ChildCount(), areas);
}

TEST(MainFrameFirstShow, WithoutAreasTheAreaManagerComesUp) {
    test::ScopedHome home;
    const TSettings saved = Settings;
    Settings = TSettings{};
    CreateAreaManager();
    ASSERT_EQ(AreaManager()->Root().ChildCount(), 0);
    {
        TMainFrame frame;
        frame.show();
        ASSERT_TRUE(WaitFor([&] { return frame.findChild<TAreaMngr*>() != nullptr; }));
        EXPECT_TRUE(frame.findChild<TAreaMngr*>()->isVisible());
    }
    StoreAreasAndRelease();
    Settings = saved;
}

class TPressCounter : public QObject {
public:
    int Presses = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonPress) ++Presses;
        return false;
    }
};

TEST_F(MainFrameTest, LeftClickAbortsTheReadAndIsThenHandled) {
    TMainFrame frame;
    frame.show();
    TPressCounter counter;
    frame.windowHandle()->installEventFilter(&counter);
    // The press waits in the queue when the read starts, as a user's click during it would.
    const QPointF inside(5, 5);
    QCoreApplication::postEvent(
        frame.windowHandle(),
        new QMouseEvent(QEvent::MouseButtonPress, inside, inside, frame.mapToGlobal(QPoint(5, 5)),
                        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    Select(frame, Area("BIG"));
    TThreadList& list = frame.List();
    EXPECT_EQ(list.CurrentArea, &Area("BIG"));
    EXPECT_EQ(list.ThreadRoot, nullptr);
    EXPECT_EQ(frame.ListModel().rowCount(), 0);
    EXPECT_EQ(frame.StatusPanel(2)->text(), QStringLiteral("Прервано..."));
    EXPECT_EQ(frame.StatusPanel(0)->text(), QString());
    EXPECT_EQ(counter.Presses, 0);
    QApplication::processEvents();
    EXPECT_EQ(counter.Presses, 1);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // Nothing of the aborted read was cached: coming back reads the whole area.
    Select(frame, Area("MSG"));
    Select(frame, Area("BIG"));
    ASSERT_NE(list.ThreadRoot, nullptr);
    EXPECT_EQ(CountEntries(*list.ThreadRoot), 120u);
    EXPECT_EQ(frame.StatusPanel(2)->text(), QStringLiteral("Ok"));
}

class TKeyRecorder : public QObject {
public:
    std::vector<int> Keys;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) Keys.push_back(static_cast<QKeyEvent*>(event)->key());
        return false;
    }
};

TEST_F(MainFrameTest, EscAbortsTheReadAndIsUsedUpWhileTypedKeysWait) {
    TMainFrame frame;
    frame.show();
    TKeyRecorder keys;
    frame.windowHandle()->installEventFilter(&keys);
    for (const int key : {int(Qt::Key_A), int(Qt::Key_Escape)}) {
        QCoreApplication::postEvent(frame.windowHandle(), new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier,
                                                                        key == Qt::Key_A ? "a" : "\x1b"));
    }
    Select(frame, Area("BIG"));
    EXPECT_EQ(frame.List().ThreadRoot, nullptr);
    EXPECT_EQ(frame.StatusPanel(2)->text(), QStringLiteral("Прервано..."));
    EXPECT_TRUE(keys.Keys.empty());
    QApplication::processEvents();
    EXPECT_EQ(keys.Keys, std::vector<int>{Qt::Key_A});
}

TEST_F(MainFrameTest, ReadingPositionAndServicesFollowTheWindow) {
    {
        TMainFrame frame;
        EXPECT_EQ(&MainWindowServices(), static_cast<TMainWindowServices*>(&frame));
        EXPECT_EQ(AreaTreeView(), static_cast<TAreaTreeView*>(&frame));
        frame.show();
        Select(frame, Area("BIG"));
        TThreadList& list = frame.List();
        const int row = 7;
        const std::string msgId = list.Rows[row]->MsgId;
        Child<QListView>(frame, "MessageView")->setCurrentIndex(frame.ListModel().index(row));
        Select(frame, Area("MSG"));
        EXPECT_EQ(Area("BIG").LastMSGID, msgId);
        Select(frame, Area("BIG"));
        ASSERT_NE(list.CurrentEntry, nullptr);
        EXPECT_EQ(list.CurrentEntry->MsgId, msgId);
        EXPECT_EQ(Child<QListView>(frame, "MessageView")->currentIndex().row(), row);

        // Counters changed by a command: the caption follows through the services.
        TAreaInfo& big = Area("BIG");
        big.MsgCount = 120;
        big.Read = 3;
        MainWindowServices().UpdateAreaNode(big);
        EXPECT_EQ(Caption(frame, big), QStringLiteral("BIG(3/120)"));

        // Hints go to panel 2; no hint shows "Ok".
        QStatusTipEvent tip(QStringLiteral("\x01Эха\x01, cообщений: 5"));
        QCoreApplication::sendEvent(Child<QTreeView>(frame, "AreaTree"), &tip);
        EXPECT_EQ(frame.StatusPanel(2)->text(), QStringLiteral("\x01Эха\x01, cообщений: 5"));
        QStatusTipEvent none{QString()};
        QCoreApplication::sendEvent(Child<QTreeView>(frame, "AreaTree"), &none);
        EXPECT_EQ(frame.StatusPanel(2)->text(), QStringLiteral("Ok"));
    }
    // Without a window the services do nothing.
    EXPECT_EQ(MainWindowServices().CurrentArea(), nullptr);
    EXPECT_EQ(AreaTreeView(), nullptr);
    MainWindowServices().UpdateAreaNode(Area("BIG"));
}

// Closing the window (the menu, Ctrl+Q, the title bar) while the draft store refuses the save: the
// user is asked and may stay, and the open letter stays with the window.
TEST_F(MainFrameTest, ClosingWhileTheDraftStoreFailsLetsTheUserStayWithTheLetter) {
    Settings.DataFolder = home_.Path().string() + "/";
    TMainFrame frame;
    frame.show();
    QPointer<TSendMessageForm> editor = OpenNewLetter(&frame, &Area("JAM"));
    editor->StartEditing();
    Child<QPlainTextEdit>(*editor, "RichEdit1")->setPlainText(QStringLiteral("Привет"));
    TDraftStore::SetSaveFaultForTesting("disk full");
    std::vector<QString> asked;
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&asked] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            asked.push_back(box->text());
            box->button(QMessageBox::Yes)->click();  // stay
        }
    });
    answer.start();
    EXPECT_FALSE(frame.close());
    answer.stop();
    TDraftStore::SetSaveFaultForTesting({});
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].contains(QStringLiteral("disk full"))) << asked[0].toStdString();
    EXPECT_TRUE(frame.isVisible());
    ASSERT_FALSE(editor.isNull());
    EXPECT_EQ(editor->BodyText().find(FromQt(QStringLiteral("Привет"))), 0u);
    // The store takes the letter again: the window closes without a word.
    EXPECT_TRUE(frame.close());
    EXPECT_EQ(CurrentDraftStore().Load().size(), 1u);
}

// A plug-in reads the message as it was shown: neither the read-mark timer nor a read of another
// message through the same base (as Save and Decode do) moves what it gets.
TEST_F(MainFrameTest, PluginsReadTheShownMessageWhateverMovesTheSharedBase) {
    TMainFrame frame;
    frame.show();
    Select(frame, Area("BIG"));
    TThreadList& list = frame.List();
    auto rowOf = [&list](const std::string& subject) {
        for (size_t r = 0; r < list.Rows.size(); ++r)
            if (list.Rows[r]->Subject == subject) return static_cast<int>(r);
        return -1;
    };
    const int reply = rowOf("Subject 4");  // replies stay folded in their thread
    const int other = rowOf("Subject 9");
    ASSERT_GE(reply, 0);
    ASSERT_GE(other, 0);
    Child<QListView>(frame, "MessageView")->setCurrentIndex(frame.ListModel().index(reply));
    auto exported = [](int32_t (*get)(char*, int32_t)) {
        std::string text(static_cast<size_t>(get(nullptr, 0)), '\0');
        get(text.data(), static_cast<int32_t>(text.size()) + 1);
        return text;
    };
    const std::string kludges = "MSGID: 2:5020/1 1004\r\n";
    ASSERT_EQ(exported(plmMBGetKludges), kludges);
    const std::string body = exported(plmMBGetPureText);
    ASSERT_EQ(body.rfind("Text\r", 0), 0u);

    // The read mark re-reads the header through the shared base.
    EXPECT_TRUE(WaitFor([&list] { return list.CurrentEntry != nullptr && list.CurrentEntry->Read; }, 3000));
    // Save and Decode read other messages into the same base.
    list.Base->ReadMessage(list.Rows[static_cast<size_t>(other)]->Position);
    ASSERT_EQ(list.Base->Subject, "Subject 9");
    EXPECT_EQ(exported(plmMBGetFrom), "Writer 4");
    EXPECT_EQ(exported(plmMBGetKludges), kludges);
    EXPECT_EQ(exported(plmMBGetPureText), body);

    // Another area listed: its first shown message, never the old one.
    Select(frame, Area("MSG"));
    EXPECT_NE(exported(plmMBGetFrom), "Writer 4");
}

TEST(StatusPanel, TextIsCutIntoNormalAndBoldPieces) {
    struct TRow {
        QString Text;
        QList<std::pair<QString, bool>> Pieces;
    };
    const TRow rows[] = {
        {QStringLiteral("Ok"), {{QStringLiteral("Ok"), false}}},
        {QStringLiteral("\x01Эха\x01, cообщений: 5"),
         {{QStringLiteral("Эха"), true}, {QStringLiteral(", cообщений: 5"), false}}},
        {QStringLiteral("a\x01"
                        "b\x01"
                        "c\x01"
                        "d"),
         {{QStringLiteral("a"), false},
          {QStringLiteral("b"), true},
          {QStringLiteral("c"), false},
          {QStringLiteral("d"), true}}},
        {QString(), {}},
        {QStringLiteral("\x01\x01x"), {{QStringLiteral("x"), false}}},
    };
    for (const TRow& row : rows) {
        QList<std::pair<QString, bool>> pieces;
        for (const auto& segment : TStatusPanel::Segments(row.Text))
            pieces.append({segment.Text, segment.Bold});
        EXPECT_EQ(pieces, row.Pieces) << row.Text.toStdString();
    }
}

}  // namespace
}  // namespace pelmar::ui

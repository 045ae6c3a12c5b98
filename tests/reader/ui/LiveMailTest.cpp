// Live mail with the real tosser: while the main window runs with the background count started the
// way the program starts it, crashmail tosses into a JAM and a *.MSG area of its own set-up (linked in
// the area tree); the counters and the open list follow without the area being opened again. A reply
// written in the window is then listed in echotoss.log and exported by the command after sending.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QTest>
#include <QWindow>
#include <filesystem>

#include "areas/AreaLifetime.h"
#include "areas/LiveMail.h"
#include "areas/gizmo.h"
#include "areas/ui/AreaMngr.h"
#include "core/Settings.h"
#include "editor/ui/AfterSendRunner.h"
#include "editor/ui/SendMessageForm.h"
#include "import/AreaImport.h"
#include "msgbase/MessageBase.h"
#include "platform/Registry.h"
#include "reader/ui/MainFrame.h"
#include "reader/ui/MessageListModel.h"
#include "support/Crashmail.h"
#include "support/FtnPacket.h"
#include "support/TestSupport.h"
#include "support/qt/Child.h"
#include "support/qt/WaitFor.h"

namespace pelmar::ui {
namespace {

using pelmar::test::Child;
namespace fs = std::filesystem;
using pelmar::test::WaitFor;

std::string EchoText(const std::string& area, const std::string& msgId, const std::string& reply,
                     const std::string& body) {
    std::string text = "AREA:" + area + "\r\x01MSGID: " + msgId + "\r";
    if (!reply.empty()) text += "\x01REPLY: " + reply + "\r";
    return text + body + "\r--- Test\r * Origin: Somewhere (2:5020/2)\rSEEN-BY: 5020/1 2\r\x01PATH: 5020/2\r";
}

class LiveMailTest : public testing::Test {
protected:
    void SetUp() override {
        if (!test::CrashmailInstalled())
            GTEST_SKIP() << "crashmail is not installed (Debian package crashmail)";
        saved_ = Settings;
        Settings = TSettings{};
        fs::create_directories(root_.Path() / "pkt");
        fs::create_directories(root_.Path() / "data");
        const std::string prefs = test::WriteCrashmailSetUp(
            root_.Path(), {{"RU.LIVE", "JAM", "jam/rulive"}, {"SU.LIVE", "MSG", "sulive"}});
        const std::string r = root_.Path().string();
        Settings.FullName = "Ivan Petrov";
        Settings.SelfAKA = {"2:5020/1"};
        Settings.TextInWindowsCodePage = false;
        Settings.DataFolder = r + "/data/";
        Settings.EchoTossLog = r + "/echotoss.log";
        Settings.AfterSendCommand = test::CrashmailCommand(root_.Path(), "SCAN");
        TRegistry reg;
        reg.OpenKey("\\" + RootKey + "\\Settings", true);
        reg.WriteBool("SetupDone", true);
        reg.OpenKey("\\" + RootKey + "\\Areas\\CrashMail", true);
        reg.WriteInteger("Zilo", ZiloLinkedGroup);
        reg.WriteInteger("Kind", LinkKindCrashMail);
        reg.WriteString("Path", prefs);
    }

    void TearDown() override {
        if (IsSkipped()) return;
        StopScanThread();
        StoreAreasAndRelease();
        Settings = saved_;
    }

    void Toss(const test::TPacket& packet, const std::string& name) {
        test::WriteFile(root_.Path() / "pkt" / name, packet.Bytes());
        test::RunCrashmail(root_.Path(), "TOSSDIR '" + (root_.Path() / "pkt").string() + "' NOSECURITY");
    }

    TAreaInfo* Tagged(const std::string& tag) {
        for (TAreaInfo* entry = AreaManager()->Root().NextInTree(); entry != nullptr;
             entry = entry->NextInTree())
            if (entry->AreaName == tag) return entry;
        return nullptr;
    }

    test::ScopedHome home_;
    test::TempDir root_;
    TSettings saved_;
};

TEST_F(LiveMailTest, TossedMailReachesTheOpenListAndTheReplyIsHandedToTheTosser) {
    test::TPacket first;
    first.Add(2, 1, 0, "09 Dec 26  12:00:00", "All", "Remote", "First",
              EchoText("RU.LIVE", "2:5020/2 00000001", "", "Opening words"));
    first.Add(2, 1, 0, "09 Dec 26  12:01:00", "All", "Remote", "Hello",
              EchoText("SU.LIVE", "2:5020/2 00000002", "", "Hello there"));
    Toss(first, "00000001.pkt");

    RegisterAreaImporters();
    CreateAreaManager();
    TAreaInfo* jam = Tagged("RU.LIVE");
    TAreaInfo* msg = Tagged("SU.LIVE");
    ASSERT_NE(jam, nullptr);
    ASSERT_NE(msg, nullptr);
    TMainFrame frame;
    frame.show();
    StartScanThread([&frame](const TScanReport& report) {
        QMetaObject::invokeMethod(
            qApp, [&frame, report] { frame.ScanPassFinished(report); }, Qt::QueuedConnection);
    });
    ASSERT_TRUE(WaitFor([&] { return jam->MsgCount.load() == 1 && msg->MsgCount.load() == 1; }));
    ASSERT_TRUE(frame.SelectAreaNode(*jam));
    ASSERT_TRUE(WaitFor([&] { return frame.List().CurrentArea == jam && frame.List().Rows.size() == 1; }));
    auto* view = Child<QListView>(frame, "MessageView");
    view->setCurrentIndex(frame.ListModel().index(0));
    ASSERT_NE(frame.List().CurrentEntry, nullptr);
    const std::string openingId = frame.List().CurrentEntry->MsgId;

    test::TPacket second;
    second.Add(2, 1, 0, "09 Dec 26  13:00:00", "Ivan Petrov", "Remote", "Re: First",
               EchoText("RU.LIVE", "2:5020/2 00000003", "2:5020/2 00000001", "An answer for you"));
    second.Add(2, 1, 0, "09 Dec 26  13:01:00", "All", "Remote", "Second",
               EchoText("RU.LIVE", "2:5020/2 00000004", "", "Another thread"));
    second.Add(2, 1, 0, "09 Dec 26  13:02:00", "All", "Remote", "Again",
               EchoText("SU.LIVE", "2:5020/2 00000005", "", "Hello again"));
    Toss(second, "00000002.pkt");

    // Counted and listed in place: the reply under the message it answers, the selection kept.
    ASSERT_TRUE(WaitFor([&] {
        return jam->MsgCount.load() == 3 && msg->MsgCount.load() == 2 &&
               frame.List().ThreadRoot->SubtreeSize() == 3;
    })) << jam->MsgCount.load()
        << " " << msg->MsgCount.load();
    EXPECT_EQ(jam->PersonalUnread.load(), 1);
    const TMessageClass* shown = frame.List().CurrentEntry;
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->MsgId, openingId);
    ASSERT_EQ(shown->Replies.size(), 1u);
    EXPECT_EQ(shown->Replies[0]->Subject, "Re: First");

    // The counters are stored before the window hears of the count: the title follows with it.
    EXPECT_TRUE(WaitFor([&] { return frame.windowTitle().endsWith(QStringLiteral(": 1")); }))
        << frame.windowTitle().toStdString();

    // The *.MSG area, open while the tosser adds to it; then a reply written in the window is
    // listed for the tosser and exported by the scan run after sending.
    ASSERT_TRUE(frame.SelectAreaNode(*msg));
    ASSERT_TRUE(WaitFor([&] { return frame.List().CurrentArea == msg && frame.List().Rows.size() == 2; }));
    test::TPacket third;
    third.Add(2, 1, 0, "09 Dec 26  14:00:00", "All", "Remote", "Question",
              EchoText("SU.LIVE", "2:5020/2 00000006", "", "Anyone here?"));
    Toss(third, "00000003.pkt");
    ASSERT_TRUE(WaitFor([&] { return frame.List().Rows.size() == 3; }));
    const TMessageClass* question = frame.List().Rows.back();
    ASSERT_EQ(question->Subject, "Question");
    view->setCurrentIndex(frame.ListModel().index(2));
    ASSERT_EQ(frame.List().CurrentEntry, question);
    QTest::keyClick(frame.windowHandle(), Qt::Key_R, Qt::ControlModifier);
    ASSERT_EQ(Editors().size(), 1u);
    Editors().front()->InsertAtCaret("Thanks from the point\r");
    bool ran = false;
    QObject::connect(&AfterSendRunner(), &TAfterSendRunner::Finished,
                     [&ran](bool ok, const QString& failure) {
                         EXPECT_TRUE(ok) << failure.toStdString();
                         ran = true;
                     });
    ASSERT_TRUE(Editors().front()->Send(true));
    ASSERT_TRUE(WaitFor([&] { return ran; }));
    EXPECT_EQ(test::ReadFile(root_.Path() / "echotoss.log"), "SU.LIVE\n");
    EXPECT_NE(test::CrashmailOutbound(root_.Path()).find("Thanks from the point"), std::string::npos)
        << "the scan after sending exported nothing\n"
        << test::ReadFile(root_.Path() / "data" / "aftersend.log");
    // Our own letter is listed once, whichever comes first: the write's notice or the count.
    ASSERT_TRUE(WaitFor([&] { return msg->MsgCount.load() == 4; }));
    QApplication::processEvents();
    EXPECT_EQ(frame.List().ThreadRoot->SubtreeSize(), 4u);
}

}  // namespace
}  // namespace pelmar::ui

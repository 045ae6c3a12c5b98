// A letter with a file in three parts, crossposted into a JAM area and a *.MSG area that a real
// tosser (crashmail) exports: the exported parts must decode to the file. A reply is listed in
// echotoss.log and exported by the scan run after sending.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "areas/gizmo.h"
#include "core/Settings.h"
#include "editor/AfterSend.h"
#include "editor/SendMessages.h"
#include "editor/UUCode.h"
#include "msgbase/BaseFactory.h"
#include "support/Crashmail.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

TEST(CrashmailSend, SplitFileCrosspostIsExportedWhole) {
    if (!test::CrashmailInstalled()) {
        GTEST_SKIP() << "crashmail is not installed (Debian package crashmail)";
    }
    test::ScopedHome home;  // the MSGID serial file
    const TSettings saved = Settings;
    Settings.TextInWindowsCodePage = false;
    Settings.bNetFlag = Settings.bEchoFlag = false;
    Settings.SelfAKA = {"2:5020/1"};
    test::TempDir root;
    test::WriteCrashmailSetUp(root.Path(), {{"SU.GENERAL", "MSG", "sugeneral", "2:5020/9.0"}});
    const std::string r = root.Path().string();

    TAreaInfo msg;
    msg.Kind = BaseKindMsg;
    msg.AreaName = "SU.GENERAL";
    msg.Path = r + "/sugeneral";
    TAreaInfo jam;
    jam.Kind = BaseKindJam;
    jam.AreaName = "LOCAL.FILES";
    jam.Path = r + "/localfiles";
    {
        auto base = CreateMessageBase(BaseKindJam);
        base->SetPath(jam.Path);
        base->CreateBase();
    }

    std::string data;
    for (int i = 0; i < 5000; ++i) data += static_cast<char>((i * 31 + i / 7) % 256);
    test::WriteFile(root.Path() / "payload.bin", data);
    std::vector<std::string> sections;
    EncodeFileToSections(r + "/payload.bin", 40, sections);
    ASSERT_EQ(sections.size(), 3u);

    TSendState s;
    s.Destinations = {&jam, &msg};
    s.FromName = "Petya";
    s.SelectedAKA = "2:5020/1";
    s.ToName = "All";
    s.Subject = "The file";
    s.Attributes = AttrLocal;
    s.Body = "Here it is\r" + CleanText(sections[0]) + "\r--- x\r * Origin: here (2:5020/1)\r";
    s.UUSplit = true;
    s.UUSections = sections;
    s.Template.Destinations = {{jam.ID, jam.AreaName}, {msg.ID, msg.AreaName}};
    s.Template.FromAddress = "2:5020/1";
    const TSendResult result = SendMessages(s, [](const std::string& name) { return DefaultTemplate(name); });
    ASSERT_TRUE(result.Ok()) << result.Failed[0].Reason;
    EXPECT_EQ(jam.MsgCount.load(), 3);
    EXPECT_EQ(msg.MsgCount.load(), 3);

    test::RunCrashmail(root.Path(), "SCAN");
    std::string out = test::CrashmailOutbound(root.Path());
    ASSERT_FALSE(out.empty()) << "crashmail exported nothing";
    for (int k = 1; k <= 3; ++k)
        EXPECT_NE(out.find("The file [" + std::to_string(k) + "/3]"), std::string::npos);
    TUUDecoder decoder;
    decoder.AddText(out);
    ASSERT_EQ(decoder.Files().size(), 1u);
    ASSERT_TRUE(decoder.Files()[0].Complete());
    std::string joined;
    for (const auto& [k, sec] : decoder.Files()[0].Sections) joined += sec.Data;
    EXPECT_EQ(joined, data);

    // A netmail letter into crashmail's netmail area goes out by its SCAN too, routed to the uplink.
    for (const auto& entry : fs::directory_iterator(root.Path() / "outb")) fs::remove_all(entry.path());
    TAreaInfo net;
    net.Kind = BaseKindMsg;
    net.IsNetmail = true;
    net.AreaName = "NETMAIL";
    net.Path = r + "/netmail";
    TSendState n;
    n.Destinations = {&net};
    n.FromName = "Petya";
    n.SelectedAKA = "2:5020/1";
    n.ToName = "Vasya";
    n.DestAddress = "2:5020/9";
    n.DestAddressVisible = true;
    n.Subject = "Private word";
    n.Attributes = AttrLocal;
    n.Body = "Hello, Vasya\r";
    n.Template.Destinations = {{net.ID, net.AreaName}};
    n.Template.FromAddress = "2:5020/1";
    const TSendResult sent = SendMessages(n, [](const std::string& name) { return DefaultTemplate(name); });
    ASSERT_TRUE(sent.Ok()) << sent.Failed[0].Reason;
    test::RunCrashmail(root.Path(), "SCAN");
    out = test::CrashmailOutbound(root.Path());
    EXPECT_NE(out.find("Private word"), std::string::npos) << "crashmail exported no netmail";
    EXPECT_NE(out.find("Hello, Vasya"), std::string::npos);

    // A reply: its area goes to echotoss.log, and the scan run after sending exports it.
    for (const auto& entry : fs::directory_iterator(root.Path() / "outb")) fs::remove_all(entry.path());
    Settings.EchoTossLog = r + "/echotoss.log";
    Settings.DataFolder = r + "/";
    Settings.AfterSendCommand = test::CrashmailCommand(root.Path(), "SCAN");
    TSendState reply;
    reply.Destinations = {&msg};
    reply.FromName = "Petya";
    reply.SelectedAKA = "2:5020/1";
    reply.ToName = "Vasya";
    reply.Subject = "Re: The file";
    reply.ReplyMsgId = "2:5020/9 12345678";
    reply.Attributes = AttrLocal;
    reply.Body = "Got it, thanks\r";
    reply.Template.Destinations = {{msg.ID, msg.AreaName}};
    reply.Template.FromAddress = "2:5020/1";
    const TSendResult replied =
        SendMessages(reply, [](const std::string& name) { return DefaultTemplate(name); });
    ASSERT_TRUE(replied.Ok()) << replied.Failed[0].Reason;
    EXPECT_TRUE(replied.Warnings.empty());
    EXPECT_EQ(test::ReadFile(root.Path() / "echotoss.log"), "SU.GENERAL\n");
    std::string failure;
    EXPECT_TRUE(RunAfterSendCommand(failure)) << failure;
    out = test::CrashmailOutbound(root.Path());
    EXPECT_NE(out.find("Got it, thanks"), std::string::npos) << "the after-send scan exported nothing";
    EXPECT_NE(out.find("REPLY: 2:5020/9 12345678"), std::string::npos);
    EXPECT_NE(test::ReadFile(root.Path() / "aftersend.log").find("crashmail SETTINGS"), std::string::npos);
    Settings = saved;
}

}  // namespace
}  // namespace pelmar

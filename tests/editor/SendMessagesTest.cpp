#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "editor/EditorRules.h"
#include "editor/SendMessages.h"
#include "editor/UUCode.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/Jam.h"
#include "msgbase/MessageBase.h"
#include "reader/MainWindowServices.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

std::string A(std::string_view utf8) {
    return Utf8ToAnsi(utf8);
}

TTemplateReader Reader(std::map<std::string, std::string> overrides = {}) {
    return [overrides](const std::string& name) {
        auto it = overrides.find(name);
        return it != overrides.end() ? it->second : DefaultTemplate(name);
    };
}

struct TRecorder : TMainWindowServices {
    std::vector<std::string> Calls;
    void MessageAdded(TAreaInfo& area, int position) override {
        Calls.push_back("added " + area.AreaName + " " + std::to_string(position));
    }
    void MessageChanged(TAreaInfo& area, int position, const std::string& msgId) override {
        Calls.push_back("changed " + area.AreaName + " " + std::to_string(position));
    }
    void UpdateAreaNode(TAreaInfo& area) override { Calls.push_back("update " + area.AreaName); }
    void SetStatusText(const std::string& text) override { Calls.push_back("status " + text); }
};

class SendMessagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallMainWindowServices(&recorder);
        Settings.SelfAKA = {"2:5020/1", "2:5020/2"};
    }
    void TearDown() override { InstallMainWindowServices(nullptr); }

    TAreaInfo& Area(int kind, const std::string& tag, bool netmail = false) {
        auto area = std::make_unique<TAreaInfo>();
        area->Kind = kind;
        area->AreaName = tag;
        area->Name = tag;
        area->IsNetmail = netmail;
        const fs::path path = dir.Path() / tag;
        if (kind == BaseKindMsg) {
            fs::create_directories(path);
        } else {
            auto base = CreateMessageBase(kind);
            base->SetPath(path.string());
            base->CreateBase();
        }
        area->Path = path.string();
        areas.push_back(std::move(area));
        return *areas.back();
    }

    TSendState Letter(std::vector<TAreaInfo*> to) {
        TSendState s;
        s.Destinations = std::move(to);
        s.FromName = "Petya";
        s.SelectedAKA = "2:5020/1";
        s.ToName = "All";
        s.Subject = "Hello";
        s.Body = "Text of the letter\r";
        s.Attributes = AttrLocal;
        return s;
    }

    // Every message of the area's base, read whole.
    struct TStored {
        std::string Subject, From, To, Orig, Text;
        std::vector<std::string> Kludges;
    };
    std::vector<TStored> Stored(TAreaInfo& area) {
        auto base = CreateMessageBase(area.Kind);
        base->SetPath(area.Path);
        base->Open();
        std::vector<TStored> out;
        for (int i = 0; i < base->Count(); ++i) {
            base->ReadMessage(i);
            out.push_back(
                {base->Subject, base->FromName, base->ToName, base->OrigAddr, base->Text, base->Kludges});
        }
        return out;
    }
    // The list's view of the message at a position, as read now.
    TMessageIdentity ListedAt(TAreaInfo& area, int32_t position) {
        auto base = CreateMessageBase(area.Kind);
        base->SetPath(area.Path);
        base->Open();
        base->Seek(position);
        base->ReadHeader();
        return {base->MsgId, base->FromName, base->ToName, base->Subject, base->Date};
    }

    test::ScopedHome home;  // the MSGID serial file
    test::TempDir dir;
    TRecorder recorder;
    std::vector<std::unique_ptr<TAreaInfo>> areas;
};

std::vector<std::string> WithoutTz(std::vector<std::string> kludges) {
    std::erase_if(kludges, [](const std::string& k) { return k.rfind("TZUTC: ", 0) == 0; });
    return kludges;
}

TEST_F(SendMessagesTest, ControlLinesInOrder) {
    TAreaInfo& area = Area(BaseKindMsg, "ECHO");
    TSendState s = Letter({&area});
    ASSERT_TRUE(SendMessages(s, Reader()).Ok());
    s.ReplyMsgId = "2:5020/9 abcdef01";
    ASSERT_TRUE(SendMessages(s, Reader()).Ok());
    const auto stored = Stored(area);
    ASSERT_EQ(stored.size(), 2u);
    const std::string serial0 = stored[0].Kludges[0].substr(16);
    EXPECT_EQ(stored[0].Kludges[0].substr(0, 16), "MSGID: 2:5020/1 ");
    EXPECT_EQ(serial0.size(), 8u);
    EXPECT_EQ(serial0.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(WithoutTz(stored[0].Kludges), (std::vector<std::string>{stored[0].Kludges[0], "PID: Plm 1.0",
                                                                      "GIF: PELMAR", "CHRS: CP866 2"}));
    EXPECT_EQ(WithoutTz(stored[1].Kludges),
              (std::vector<std::string>{stored[1].Kludges[0], "REPLY: 2:5020/9 abcdef01", "PID: Plm 1.0",
                                        "GIF: PELMAR", "CHRS: CP866 2"}));
    EXPECT_NE(stored[0].Kludges[0], stored[1].Kludges[0]);
    EXPECT_EQ(stored[0].Kludges.back(), "TZUTC: " + TzutcValue(time(nullptr)));
    EXPECT_EQ(area.MsgCount.load(), 2);
    EXPECT_EQ(recorder.Calls,
              (std::vector<std::string>{"added ECHO 0", "update ECHO", "added ECHO 1", "update ECHO"}));
}

TEST_F(SendMessagesTest, ReplacementsAndControlBytesInHeaderAndBody) {
    TAreaInfo& area = Area(BaseKindJam, "JAMECHO");
    TSendState s = Letter({&area});
    s.FromName = A("Нина");
    s.ToName = A("Николай");
    s.Subject = A("Новости\x01MSGID: fake");
    s.Body = A("Н и н\r\x01PID: forged\r");
    ASSERT_TRUE(SendMessages(s, Reader()).Ok());
    EXPECT_EQ(s.FromName, A("Hина"));
    EXPECT_EQ(s.ToName, A("Hиколай"));
    EXPECT_EQ(s.Subject, A("Hовости@MSGID: fake"));
    const auto stored = Stored(area);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].From, A("Hина"));
    EXPECT_EQ(stored[0].Text.substr(0, 18), A("H и н\r@PID: forged"));
    for (const auto& k : stored[0].Kludges) EXPECT_EQ(k.find("forged"), std::string::npos);
}

TEST_F(SendMessagesTest, AutoAkaPicksTheAreasOwnAddress) {
    TAreaInfo& one = Area(BaseKindJam, "ONE");
    TAreaInfo& two = Area(BaseKindMsg, "TWO");
    one.UseAKA = "2:5020/2";
    two.UseAKA = "2:5020/1";
    for (bool autoAka : {true, false}) {
        TSendState s = Letter({&one, &two});
        s.SelectedAKA = "2:5020/1";
        s.AutoAKA = autoAka;
        ASSERT_TRUE(SendMessages(s, Reader()).Ok());
    }
    const auto a = Stored(one), b = Stored(two);
    ASSERT_EQ(a.size(), 2u);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(a[0].Kludges[0].substr(0, 16), "MSGID: 2:5020/2 ");
    EXPECT_EQ(b[0].Kludges[0].substr(0, 16), "MSGID: 2:5020/1 ");
    EXPECT_EQ(a[1].Kludges[0].substr(0, 16), "MSGID: 2:5020/1 ");
}

TEST_F(SendMessagesTest, SplitFileCrosspostedWritesEveryPartAndDecodes) {
    TAreaInfo& jam = Area(BaseKindJam, "JAMAREA");
    TAreaInfo& msg = Area(BaseKindMsg, "MSGAREA");
    std::string data;
    for (int i = 0; i < 3000; ++i) data += static_cast<char>(i * 7 % 256);
    std::vector<std::string> sections;
    EncodeBytesToSections(data, "f.bin", 0, 25, sections);
    ASSERT_EQ(sections.size(), 3u);
    TSendState s = Letter({&jam, &msg});
    s.UUSplit = true;
    s.UUSections = sections;
    s.Body = "Here it is:\r" + CleanText(sections[0]) + "bye\r";
    s.Template.Destinations = {{jam.ID, jam.AreaName}, {msg.ID, msg.AreaName}};
    s.Template.FromFirstName = "Petya";
    s.Template.FromAddress = "2:5020/1";
    // A table that would corrupt encoded lines if it reached them.
    const auto read = Reader({{tpl::Change1, "M\r\n\r\n`\r\n"}, {tpl::Change2, "m\r\n"}});
    const TSendResult result = SendMessages(s, read);
    ASSERT_TRUE(result.Ok()) << result.Failed[0].Reason;
    EXPECT_EQ(result.Written, 6);
    for (TAreaInfo* area : {&jam, &msg}) {
        EXPECT_EQ(area->MsgCount.load(), 3);
        const auto stored = Stored(*area);
        ASSERT_EQ(stored.size(), 3u);
        TUUDecoder decoder;
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(stored[k].Subject, "Hello [" + std::to_string(k + 1) + "/3]");
            decoder.AddText(stored[k].Text);
        }
        ASSERT_EQ(decoder.Files().size(), 1u);
        ASSERT_TRUE(decoder.Files()[0].Complete());
        std::string joined;
        for (const auto& [k, sec] : decoder.Files()[0].Sections) joined += sec.Data;
        EXPECT_EQ(joined, data);
    }
}

TEST_F(SendMessagesTest, PartsWithoutOrWithTwoCaretMarkers) {
    std::vector<std::string> sections;
    EncodeBytesToSections(std::string(500, 'x'), "g.bin", 0, 8, sections);
    ASSERT_EQ(sections.size(), 2u);
    for (const char* begin : {"no marker\r\n", "@Курсор one\r\n@Курсор two\r\n"}) {
        TAreaInfo& area = Area(BaseKindMsg, std::string("P") + std::to_string(areas.size()));
        TSendState s = Letter({&area});
        s.UUSplit = true;
        s.UUSections = sections;
        const auto read = Reader({{tpl::LetterBegin, A(begin)}, {tpl::LetterEnd, ""}});
        ASSERT_TRUE(SendMessages(s, read).Ok());
        const auto stored = Stored(area);
        ASSERT_EQ(stored.size(), 2u);
        const std::string part = CleanText(sections[1]);
        const size_t at = stored[1].Text.find(part);
        ASSERT_NE(at, std::string::npos) << begin;
        EXPECT_EQ(stored[1].Text.find(part, at + 1), std::string::npos);
        EXPECT_EQ(stored[1].Text.find(A("@Курсор")), std::string::npos);
    }
}

TEST_F(SendMessagesTest, CaretMarkerInAQuoteStaysText) {
    const std::string quote = A(" IP> press @Курсор here");
    TAreaInfo& area = Area(BaseKindMsg, "QUOTE");
    TSendState s = Letter({&area});
    s.Template.Mode = TEditorMode::Reply;
    s.Template.QuotedText = quote + "\r";
    const auto read =
        Reader({{tpl::ReplyBegin, A("@ТекстПисьмаОтвет\r\n@Курсор\r\n")}, {tpl::ReplyEnd, "end\r\n"}});
    const TExpandedTemplate expanded = ExpandTemplateWithCursor(s.Template, read);
    EXPECT_EQ(expanded.Cursor(), quote.size() + 2);
    EXPECT_EQ(InsertAtCursor(expanded, "BODY"), quote + "\r\rBODY\rend\r");
    int offset = -1;
    EXPECT_EQ(PreviewText(expanded, offset), quote + "\r\r\rend\r");
    EXPECT_EQ(offset, static_cast<int>(quote.size() + 2));

    // The second part of a split file goes where the template's marker stood too.
    EncodeBytesToSections(std::string(500, 'x'), "q.bin", 0, 8, s.UUSections);
    ASSERT_EQ(s.UUSections.size(), 2u);
    s.UUSplit = true;
    s.Body = InsertAtCursor(expanded, CleanText(s.UUSections[0]));
    ASSERT_TRUE(SendMessages(s, read).Ok());
    const auto stored = Stored(area);
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[1].Text.rfind(quote + "\r\r" + CleanText(s.UUSections[1]) + "\rend\r", 0), 0u)
        << stored[1].Text;
}

TEST_F(SendMessagesTest, BaseThatWillNotOpenIsReported) {
    TAreaInfo& good = Area(BaseKindJam, "GOOD");
    TAreaInfo& bad = Area(BaseKindJam, "BAD");
    fs::remove(bad.Path + ".jhr");
    TSendState s = Letter({&bad, &good});
    const TSendResult result = SendMessages(s, Reader());
    ASSERT_EQ(result.Failed.size(), 1u);
    EXPECT_EQ(result.Failed[0].Area, &bad);
    EXPECT_EQ(result.Failed[0].Parts, std::vector<int>{1});
    EXPECT_EQ(result.Failed[0].Result, TItemResult::Refused);
    EXPECT_EQ(result.Summary(), A("Письмо не записано в области:\r\nBAD: база не открывается: ") + bad.Path);
    EXPECT_EQ(result.Written, 1);
    EXPECT_EQ(bad.MsgCount.load(), 0);
    EXPECT_EQ(good.MsgCount.load(), 1);
    EXPECT_EQ(recorder.Calls, (std::vector<std::string>{"added GOOD 0", "update GOOD"}));
}

TEST_F(SendMessagesTest, WriteRefusedWhileAnotherProcessHoldsTheLock) {
    TAreaInfo& area = Area(BaseKindJam, "LOCKED");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A tosser holding the header lock: a classic record lock, as tossers take it.
        close(ready[0]);
        FILE* f = std::fopen((area.Path + ".jhr").c_str(), "r+b");
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = 0;
        lock.l_len = 1;
        const bool ok = f != nullptr && fcntl(fileno(f), F_SETLK, &lock) == 0;
        (void)!write(ready[1], ok ? "1" : "0", 1);
        sleep(30);
        _exit(0);
    }
    close(ready[1]);
    char flag = 0;
    ASSERT_EQ(read(ready[0], &flag, 1), 1);
    close(ready[0]);
    TSendState s = Letter({&area});
    const TSendResult result = flag == '1' ? SendMessages(s, Reader()) : TSendResult{};
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ASSERT_EQ(flag, '1');
    ASSERT_EQ(result.Failed.size(), 1u);
    // One text, the area named once, with the reason the base gave.
    EXPECT_EQ(result.Failed[0].Result, TItemResult::Refused);
    EXPECT_EQ(result.Summary(), A("Письмо не записано в области:\r\nLOCKED: ") + JamWriteLockText());
    EXPECT_EQ(result.Written, 0);
    EXPECT_EQ(area.MsgCount.load(), 0);
    EXPECT_TRUE(recorder.Calls.empty());
    // The retry writes it once.
    s.Destinations = {result.Failed[0].Area};
    s.OnlyParts[&area] = result.Failed[0].Parts;
    EXPECT_TRUE(SendMessages(s, Reader()).Ok());
    EXPECT_EQ(Stored(area).size(), 1u);
}

TEST_F(SendMessagesTest, EditInPlaceRewritesOnlyTheListedMessage) {
    TAreaInfo& area = Area(BaseKindMsg, "EDIT");
    for (const char* subject : {"first", "second"}) {
        TSendState s = Letter({&area});
        s.Subject = subject;
        ASSERT_TRUE(SendMessages(s, Reader()).Ok());
    }
    const auto before = Stored(area);
    const std::string listed = before[1].Kludges[0].substr(7);
    area.MsgCount = 2;

    TSendState edit = Letter({&area});
    edit.IsEditMessage = true;
    edit.EditContext.MessagePosition = 1;
    edit.EditContext.ListMsgId = listed;
    edit.EditContext.Listed = ListedAt(area, 1);
    edit.Subject = "second, edited";
    edit.Body = "new text\r";
    ASSERT_TRUE(SendMessages(edit, Reader()).Ok());
    auto after = Stored(area);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[1].Subject, "second, edited");
    EXPECT_NE(after[1].Kludges[0], before[1].Kludges[0]);
    for (const auto& k : after[1].Kludges) EXPECT_NE(k.rfind("REPLY", 0), 0u);
    EXPECT_EQ(area.MsgCount.load(), 2);
    EXPECT_EQ(recorder.Calls.back(), "changed EDIT 1");

    // The same MSGID under another header: refused.
    edit.EditContext.ListMsgId = after[1].Kludges[0].substr(7);
    edit.EditContext.Listed = ListedAt(area, 1);
    edit.EditContext.Listed.FromName = "Somebody else";
    edit.Subject = "must not land";
    const TSendResult other = SendMessages(edit, Reader());
    ASSERT_EQ(other.Failed.size(), 1u);
    EXPECT_EQ(other.Failed[0].Result, TItemResult::Changed);
    EXPECT_EQ(Stored(area)[1].Subject, "second, edited");
    edit.EditContext.Listed = ListedAt(area, 1);

    // The message at that position is another one now: refused, nothing overwritten.
    edit.EditContext.MessagePosition = 0;
    edit.Subject = "must not land";
    const TSendResult refused = SendMessages(edit, Reader());
    ASSERT_EQ(refused.Failed.size(), 1u);
    after = Stored(area);
    EXPECT_EQ(after[0].Subject, "first");
    EXPECT_EQ(after[1].Subject, "second, edited");
}

TEST_F(SendMessagesTest, EditInPlaceWithoutAnOwnAddressKeepsTheStoredOne) {
    for (const int kind : {BaseKindMsg, BaseKindSquish}) {
        TAreaInfo& area = Area(kind, "KEEP" + std::to_string(kind));
        TSendState s = Letter({&area});
        s.SelectedAKA = "2:5020/2";
        ASSERT_TRUE(SendMessages(s, Reader()).Ok());
        TSendState edit = Letter({&area});
        edit.IsEditMessage = true;
        edit.SelectedAKA.clear();
        edit.EditContext.MessagePosition = 0;
        edit.EditContext.ListMsgId = Stored(area)[0].Kludges[0].substr(7);
        edit.EditContext.Listed = ListedAt(area, 0);
        edit.Body = "edited\r";
        ASSERT_TRUE(SendMessages(edit, Reader()).Ok());
        const auto after = Stored(area);
        ASSERT_EQ(after.size(), 1u);
        EXPECT_EQ(after[0].Orig, "2:5020/2") << kind;
        ASSERT_FALSE(after[0].Kludges.empty());
        EXPECT_EQ(after[0].Kludges[0].rfind("MSGID: 2:5020/2 ", 0), 0u) << after[0].Kludges[0];
    }
}

TEST_F(SendMessagesTest, HudsonExportListWarningIsPassedOn) {
    fs::create_directories(dir.Path() / "hud" / "echomail.bbs");  // cannot be written as a file
    auto owned = std::make_unique<TAreaInfo>();
    TAreaInfo& area = *owned;
    areas.push_back(std::move(owned));
    area.Kind = BaseKindHudson;
    area.AreaName = area.Name = "HUD";
    area.Path = std::string(1, '\x03') + (dir.Path() / "hud").string();
    auto base = CreateMessageBase(BaseKindHudson);
    base->SetPath(area.Path);
    base->CreateBase();
    TSendState s = Letter({&area});
    const TSendResult result = SendMessages(s, Reader());
    ASSERT_TRUE(result.Ok());
    EXPECT_EQ(result.Written, 1);
    ASSERT_EQ(result.Warnings.size(), 1u);
    EXPECT_EQ(result.Warnings[0].rfind("HUD: ", 0), 0u) << result.Warnings[0];
    EXPECT_NE(result.Warnings[0].find("echomail.bbs"), std::string::npos);
    EXPECT_NE(std::find(recorder.Calls.begin(), recorder.Calls.end(), "status " + result.Warnings[0]),
              recorder.Calls.end());
}

TEST_F(SendMessagesTest, EchomailIsListedForTheTosser) {
    const TSettings saved = Settings;
    Settings.EchoTossLog = dir.File("echotoss.log");
    Settings.bEchomailJam = true;
    Settings.EchomailJam = dir.File("echomail.jam");
    Settings.bEchoFlag = Settings.bNetFlag = true;
    Settings.EchoFlag = dir.File("echomail.flg");
    Settings.NetFlag = dir.File("netmail.flg");
    TAreaInfo& jam = Area(BaseKindJam, "SU.JAM");
    TAreaInfo& msg = Area(BaseKindMsg, "SU.MSG");
    TAreaInfo& untagged = Area(BaseKindMsg, "UNTAGGED");
    untagged.AreaName.clear();
    TAreaInfo& net = Area(BaseKindJam, "NETMAIL", true);
    for (int round = 0; round < 2; ++round) {
        TSendState s = Letter({&jam, &msg, &untagged});
        ASSERT_TRUE(SendMessages(s, Reader()).Ok());
        TSendState n = Letter({&net});
        n.DestAddress = "2:5020/9";
        n.DestAddressVisible = true;
        ASSERT_TRUE(SendMessages(n, Reader()).Ok());
    }
    EXPECT_EQ(test::ReadFile(Settings.EchoTossLog), "SU.JAM\nSU.MSG\n");
    // JAM numbers start at the base's first number (1 in a new base).
    EXPECT_EQ(test::ReadFile(Settings.EchomailJam), jam.Path + " 1\n" + jam.Path + " 2\n");
    EXPECT_TRUE(fs::exists(Settings.EchoFlag));
    EXPECT_TRUE(fs::exists(Settings.NetFlag));
    Settings = saved;
}

TEST_F(SendMessagesTest, TosserListThatCannotBeWrittenLeavesTheMessageWritten) {
    const TSettings saved = Settings;
    Settings.EchoTossLog = dir.File("no/such/folder/echotoss.log");
    TAreaInfo& area = Area(BaseKindMsg, "SU.MSG");
    TSendState s = Letter({&area});
    const TSendResult result = SendMessages(s, Reader());
    Settings = saved;
    ASSERT_TRUE(result.Ok());
    EXPECT_EQ(result.Written, 1);
    EXPECT_EQ(Stored(area).size(), 1u);
    ASSERT_EQ(result.Warnings.size(), 1u);
    EXPECT_EQ(result.Warnings[0].rfind("SU.MSG: echotoss.log: ", 0), 0u) << result.Warnings[0];
}

TEST(ApplyReplacements, TableRows) {
    struct Row {
        std::string text;
        std::vector<std::string> from, to;
        std::string expected;
    };
    const Row rows[] = {
        {"aXbX", {"X"}, {"YY"}, "aYYbYY"},
        {"abab", {"ab", "b"}, {"b", "c"}, "cc"},  // later pairs see earlier results
        {"aaa", {"a"}, {"aa"}, "aaaaaa"},         // inserted text is not searched again
        {"text", {"", "t"}, {"never", "T"}, "TexT"},
        {"abc", {"a", "b"}, {"1"}, "1c"},  // no replacement: empty
        {"abc", {}, {}, "abc"},
    };
    for (const Row& r : rows) EXPECT_EQ(ApplyReplacements(r.text, r.from, r.to), r.expected) << r.text;
    EXPECT_EQ(ApplyReplacements(A("НОВОЕ"), Reader()), A("HОВОЕ"));
    EXPECT_EQ(ApplyReplacements("x", Reader({{tpl::Change1, "\r\n\r\nx\r\n"}, {tpl::Change2, "a\r\n"}})), "");
}

TEST(LetterHeader, ValuesFromTheHeaderAndTheCaret) {
    TSendState s;
    s.ToName = "AreaFix";
    s.FromName = "Ivan Petrovich Sidorov";
    s.SelectedAKA = "2:5020/1";
    s.DestAddress = "2:5020/9";
    TTemplateInput in;
    in.FromAddress = "kept";
    CollectHeaderValues(s, {"areafix", "AllFix"}, in);
    EXPECT_EQ(in.ToFirstName, "AreaFix");
    EXPECT_EQ(in.ToLastName, "");
    EXPECT_EQ(in.FromFirstName, "Ivan");
    EXPECT_EQ(in.FromLastName, "Petrovich");
    EXPECT_EQ(in.FromAddress, "2:5020/1");
    EXPECT_EQ(in.ToAddress, "");
    EXPECT_TRUE(in.IsRobot);

    const std::string marker = A("@Курсор");
    EXPECT_EQ(InsertAtCursor("a" + marker + "b" + marker + "c", "X"), "aXbc");
    EXPECT_EQ(InsertAtCursor("abc", "X"), "Xabc");
}

TEST(Tzutc, SignAndDaylightSaving) {
    const char* saved = std::getenv("TZ");
    const std::string savedValue = saved != nullptr ? saved : "";
    struct Row {
        const char* zone;
        time_t when;
        const char* expected;
    };
    const time_t winter = 1736000000;  // 2025-01-04
    const time_t summer = 1751500000;  // 2025-07-03
    const Row rows[] = {
        {"Europe/Berlin", winter, "0100"},
        {"Europe/Berlin", summer, "0200"},
        {"America/New_York", winter, "-0500"},
        {"America/New_York", summer, "-0400"},
        {"UTC", summer, "0000"},
        {"Asia/Kolkata", winter, "0530"},
        {"America/St_Johns", winter, "-0330"},
    };
    for (const Row& r : rows) {
        setenv("TZ", r.zone, 1);
        tzset();
        EXPECT_EQ(TzutcValue(r.when), r.expected) << r.zone;
    }
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    EXPECT_EQ(TzutcValueAt(EncodeDateTime(2025, 3, 30, 1, 30)), "0100");
    EXPECT_EQ(TzutcValueAt(EncodeDateTime(2025, 3, 30, 3, 30)), "0200");
    if (saved != nullptr) {
        setenv("TZ", savedValue.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

}  // namespace
}  // namespace pelmar

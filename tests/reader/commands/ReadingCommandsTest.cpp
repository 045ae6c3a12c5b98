// The reading commands' engine side: saved files, template lists, editor requests, read receipts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "areas/gizmo.h"
#include "core/Settings.h"
#include "editor/Quote.h"
#include "editor/Templates.h"
#include "reader/ReadingCommands.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

TShownMessage Message() {
    TShownMessage m;
    m.FromName = "Ivan Petrov";
    m.ToName = "All";
    m.Subject = "hello";
    m.OrigAddr = "2:5020/1.5";
    m.MsgId = "2:5020/1.5 12345678";
    m.Kludges = {"MSGID: 2:5020/1.5 12345678", "PID: Plm 1.0"};
    m.Text = "\xCF\xF0\xE8\xE2\xE5\xF2\r---\r--- Plm 1.0\r * Origin: My BBS (2:5000/1.5)\r";
    m.Attr = AttrRqRcpt;
    m.Position = 7;
    return m;
}

TEST(SavedFiles, TextWithAndWithoutHeader) {
    TShownMessage m = Message();
    m.Text = "\xCF\xF0\xE8\xE2\xE5\xF2\rline 2";
    EXPECT_EQ(SavedTextFile(m, false, "", ""), "Привет\nline 2\n");
    EXPECT_EQ(SavedTextFile(m, true, "\xD4\xE8\xE4\xEE", "01.02.2026 10:00:00"),
              std::string(61, '-') + "\n" +
                  " Конференция: Фидо\n"
                  " От:          Ivan Petrov [2:5020/1.5]\n"
                  " Кому:        All\n"
                  " Тема:        hello\n"
                  " Дата:        01.02.2026 10:00:00\n" +
                  std::string(61, '-') + "\nПривет\nline 2\n");
}

TEST(SavedFiles, RtfDeclaresItsCodePage) {
    EXPECT_EQ(SavedRtfFile("{\\rtf1\\deftab720 x}"), "{\\rtf1\\ansi\\ansicpg1251\\deftab720 x}");
    EXPECT_EQ(SavedRtfFile("{\\rtf1\\ansi\\deff0 x}"), "{\\rtf1\\ansi\\ansicpg1251\\deff0 x}");
}

TEST(SavedFiles, NumberedNames) {
    const std::pair<std::string, std::string> rows[] = {
        {"/tmp/letter.txt", "/tmp/letter2.txt"},
        {"/tmp/letter", "/tmp/letter2"},
        {"/tmp/my.dir/letter", "/tmp/my.dir/letter2"},
        {"/tmp/a.b.txt", "/tmp/a2.b.txt"},
    };
    for (const auto& [chosen, expected] : rows) EXPECT_EQ(NumberedFileName(chosen, 2), expected);
}

// What the view's pop-up takes from a shown message into the template lists.
TEST(TemplateLists, OriginAndTearlines) {
    EXPECT_EQ(TakeOriginLine(Message().Text), "My BBS ");
    EXPECT_EQ(TakeOriginLine("only one line * Origin: x"), std::nullopt);
    EXPECT_EQ(TakeOriginLine("a\r * Origin: no address\r\r"), "no address");
    EXPECT_EQ(TakeOriginLine("a\rnot an origin"), std::nullopt);
    EXPECT_EQ(TakeTearlineLines(Message().Text), (std::vector<std::string>{"Plm 1.0", ""}));
    EXPECT_EQ(TakeTearlineLines("--- only line"), std::vector<std::string>{});
}

TEST(TemplateLists, AddsALineOnce) {
    test::ScopedHome home;
    Settings.ProgramFolder = home.Path().string() + "/";
    OpenTemplateStore();
    ASSERT_TRUE(WriteTemplate(tpl::OriginList, "first\r\nMy BBS \r\n"));
    EXPECT_FALSE(AddListLine(tpl::OriginList, "my bbs "));
    EXPECT_TRUE(AddListLine(tpl::OriginList, "Other"));
    EXPECT_EQ(TemplateLines(ReadTemplate(tpl::OriginList)), (std::vector<std::string>{"first", "My BBS ", "Other"}));
    EXPECT_TRUE(AddListLine(tpl::TearlineList, "x"));
    EXPECT_EQ(TemplateLines(ReadTemplate(tpl::TearlineList)), std::vector<std::string>{"x"});
    CloseTemplateStore();
}

class EditorRequests : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings;
        Settings.NetmailDef = AttrLocal | AttrCrash;
        Settings.EchomailDef = AttrLocal;
        netmail_.IsNetmail = true;
    }
    void TearDown() override { Settings = saved_; }

    TSettings saved_;
    TAreaInfo echo_;
    TAreaInfo netmail_;
    const TDateTexts dates_{"01.02.26", "10:11:12"};
};

TEST_F(EditorRequests, ReplyQuotesAndDefusesOriginAndTearline) {
    const TQuoteBuilder quote = [](std::string_view text, const std::vector<std::string>& kludges,
                                   const std::string& from, bool withKludges) {
        std::string out = from + "|" + std::string(text);
        if (withKludges) out += "|" + kludges.front();
        return out;
    };
    TShownMessage m = Message();
    m.Subject = "Re^9: x";
    const TEditorRequest r = ReplyRequest(m, &echo_, &netmail_, true, dates_, quote);
    EXPECT_EQ(r.Mode, TEditorMode::Reply);
    EXPECT_EQ(r.Subject, "Re^10: x");
    EXPECT_EQ(r.ToName, "Ivan Petrov");
    EXPECT_EQ(r.ToAddress, "2:5020/1.5");
    EXPECT_EQ(r.Attributes, AttrLocal);  // from the listed area, also for a reply by netmail
    EXPECT_EQ(r.Destinations, std::vector<TAreaInfo*>{&netmail_});
    ASSERT_TRUE(r.Reply);
    EXPECT_EQ(
        r.Reply->QuotedText,
        "Ivan Petrov|\xCF\xF0\xE8\xE2\xE5\xF2\r-+-\r-+- Plm 1.0\r + Origin: My BBS (2:5000/1.5)\r|MSGID: "
        "2:5020/1.5 12345678");
    EXPECT_EQ(r.Reply->Date, "01.02.26");
    EXPECT_EQ(r.Reply->Time, "10:11:12");
    EXPECT_EQ(r.Reply->DateTime, "01.02.26 10:11:12");
    EXPECT_EQ(r.Reply->SourceArea, &echo_);
    EXPECT_EQ(r.Reply->MsgId, "2:5020/1.5 12345678");
}

TEST_F(EditorRequests, ReplyWithTheRealQuotingDefusesTheQuotedOriginAndTearline) {
    TShownMessage m = Message();
    m.Text = "Hello\r---\r * Origin: Home (2:5000/1)\r";
    const TEditorRequest r = ReplyRequest(m, &echo_, &echo_, false, dates_, BuildReplyQuote);
    ASSERT_TRUE(r.Reply);
    const std::string& quoted = r.Reply->QuotedText;
    EXPECT_NE(quoted.find(" + Origin: Home (2:5000/1)"), std::string::npos) << quoted;
    EXPECT_NE(quoted.find("-+-"), std::string::npos) << quoted;
    EXPECT_EQ(quoted.find(" * Origin: "), std::string::npos) << quoted;
    EXPECT_EQ(quoted.find("---"), std::string::npos) << quoted;
    EXPECT_NE(quoted.find("IP> Hello"), std::string::npos) << quoted;
}

TEST_F(EditorRequests, ForwardKeepsTheTextAndNamesTheAddresses) {
    TShownMessage m = Message();
    m.Subject = "Fwd: news";
    m.Text = "a\r--- b";
    const TEditorRequest r = ForwardRequest(m, &netmail_, true, dates_);
    EXPECT_EQ(r.Subject, "Fwd^2: news");
    EXPECT_EQ(r.Attributes, AttrLocal | AttrCrash);  // the shown area's defaults
    EXPECT_EQ(r.ToName, "All");
    EXPECT_TRUE(r.Destinations.empty());
    ASSERT_TRUE(r.Forward);
    EXPECT_EQ(r.Forward->Text, "a\r\n-+- b\r\n@MSGID: 2:5020/1.5 12345678\r\n@PID: Plm 1.0\r\n");
    EXPECT_EQ(r.Forward->From, "Ivan Petrov <2:5020/1.5>");
    EXPECT_EQ(r.Forward->To, "All");
    EXPECT_EQ(r.Forward->Date, "01.02.26");
}

TEST_F(EditorRequests, EditCarriesPositionKeyAndHeader) {
    TShownMessage m = Message();
    m.Text = "a\rb\r\nc";
    m.DestAddr = "2:5020/2";
    const TEditorRequest r = EditRequest(m, &netmail_, "key");
    ASSERT_TRUE(r.Edit);
    EXPECT_EQ(r.Edit->Body, "a\r\nb\r\nc");
    EXPECT_EQ(r.Edit->MessagePosition, 7);
    EXPECT_EQ(r.Edit->ListMsgId, "key");
    EXPECT_EQ(r.SelectedFromAddress, "2:5020/1.5");
    EXPECT_EQ(r.ToAddress, "2:5020/2");
    EXPECT_EQ(r.Attributes, AttrRqRcpt);
    EXPECT_EQ(r.Destinations, std::vector<TAreaInfo*>{&netmail_});
}

TEST_F(EditorRequests, NewLetterAndReadReceiptAndAddressClick) {
    const TEditorRequest baseless = NewLetterRequest(&netmail_);
    EXPECT_EQ(baseless.Attributes, AttrLocal);
    EXPECT_TRUE(baseless.Destinations.empty());

    const TEditorRequest receipt = ReadReceiptRequest(Message(), &echo_, dates_);
    EXPECT_EQ(receipt.Attributes, 129);
    EXPECT_EQ(receipt.Subject, "hello");
    EXPECT_EQ(receipt.ToAddress, "2:5020/1.5");
    EXPECT_EQ(receipt.Destinations, std::vector<TAreaInfo*>{&echo_});

    const TEditorRequest click = NetmailToRequest("2:5020/9", &netmail_, &netmail_);
    EXPECT_EQ(click.ToAddress, "2:5020/9");
    EXPECT_EQ(click.ToAddresses, std::vector<std::string>{"2:5020/9"});
    EXPECT_EQ(click.Attributes, AttrLocal | AttrCrash);
    EXPECT_EQ(NetmailToRequest("2:5020/9", &echo_, nullptr).Destinations.size(), 0u);
}

TEST_F(EditorRequests, NewLetterIntoAnOpenBase) {
    test::TempDir dir;
    TAreaInfo area;
    area.Kind = 1;  // *.MSG
    area.Path = dir.Path().string() + "/";
    TMessageBase* base = area.OpenBase(TBaseMode::Shared);
    ASSERT_NE(base, nullptr);
    const TEditorRequest r = NewLetterRequest(&area);
    EXPECT_EQ(r.ToName, "All");
    EXPECT_EQ(r.Destinations, std::vector<TAreaInfo*>{&area});
    area.CloseBase(base, TBaseMode::Shared);
    // A closed base still is an area to write into; a linked group is not.
    EXPECT_EQ(NewLetterRequest(&area).Destinations, std::vector<TAreaInfo*>{&area});
    area.Zilo = ZiloLinkedGroup;
    EXPECT_TRUE(NewLetterRequest(&area).Destinations.empty());
}

TEST(ReadReceipts, OfferedOncePerMessageAndNeverForOwnOrRead) {
    TReceiptLog log;
    TShownMessage m = Message();
    EXPECT_FALSE(log.ShouldOffer(m, false, "A"));
    EXPECT_TRUE(log.ShouldOffer(m, true, "A"));
    EXPECT_FALSE(log.ShouldOffer(m, true, "A"));
    EXPECT_TRUE(log.ShouldOffer(m, true, "B"));
    m.Attr = AttrRqRcpt | AttrLocal;
    m.MsgId = "other";
    EXPECT_FALSE(log.ShouldOffer(m, true, "A"));
    m.Attr = 0;
    EXPECT_FALSE(log.ShouldOffer(m, true, "A"));
}

}  // namespace
}  // namespace pelmar

#include <gtest/gtest.h>

#include "areas/gizmo.h"
#include "editor/EditorRules.h"
#include "editor/Templates.h"
#include "platform/Codepage.h"

namespace pelmar {
namespace {

std::string A(const char* utf8) {
    return Utf8ToAnsi(utf8);
}

TEST(EditorRules, SendNeedsDestinationOwnAddressAndValidNetmailAddress) {
    struct Row {
        size_t dests;
        const char* aka;
        bool netmail;
        const char* dest;
        bool send;
    };
    const Row rows[] = {
        {1, "2:5020/120.5", false, "", true},
        {0, "2:5020/120.5", false, "", false},
        {1, "", false, "", false},
        {1, "", true, "2:5020/1", false},
        {1, "2:5020/120.5", true, "5020/1", false},
        {1, "2:5020/120.5", true, "2:5020/1", true},
        {2, "2:5020/120.5", true, "", false},
    };
    for (const auto& r : rows) {
        TEditorState s;
        s.DestinationCount = r.dests;
        s.SelectedAka = r.aka;
        s.AnyNetmail = r.netmail;
        s.DestAddress = r.dest;
        const auto c = EvaluateCommands(s);
        EXPECT_EQ(c.Send, r.send) << r.dests << " " << r.aka << " " << r.dest;
        EXPECT_EQ(c.DestAddressVisible, r.netmail);
    }
}

TEST(EditorRules, BodyAndUUCommandsFollowThePhase) {
    TEditorState s;
    s.CanUndo = s.HasSelection = s.CanPaste = true;
    auto c = EvaluateCommands(s);
    EXPECT_FALSE(c.Undo || c.Cut || c.Paste || c.InsertFile || c.Spell);
    EXPECT_EQ(c.Caption, A("Новое сообщение"));
    s.Editing = true;
    s.Subject = "Hello";
    c = EvaluateCommands(s);
    EXPECT_TRUE(c.Undo && c.Cut && c.Copy && c.CutMarker && c.Paste && c.InsertFile && c.Spell);
    EXPECT_FALSE(c.Redo);
    EXPECT_EQ(c.Caption, "Hello");
    // A receipt editor comes up unasked: its caption says why.
    s.ReadReceipt = true;
    EXPECT_EQ(EvaluateCommands(s).Caption, A("Отправитель просит уведомить о прочтении: Hello"));
    s.ReadReceipt = false;
    // Edit-message mode cannot take a file in several sections.
    s.UUPending = true;
    s.UUSectionCount = 2;
    s.IsEditMessage = true;
    c = EvaluateCommands(s);
    EXPECT_FALSE(c.UUInsert);
    EXPECT_FALSE(c.UUBrowse);
    EXPECT_TRUE(c.UUClear);
    s.IsEditMessage = false;
    EXPECT_TRUE(EvaluateCommands(s).UUInsert);
    s.Attributes = 0x100;
    EXPECT_TRUE(EvaluateCommands(s).SubjectFileButton);
}

TEST(EditorRules, AddressTable) {
    const std::vector<std::string> akas = {"1:1/1", "2:5030/1", "2:5020/10"};
    EXPECT_EQ(ChooseAkaFor("2:5020/1", akas), 2);  // score 2, first of the best
    EXPECT_EQ(ChooseAkaFor("2:5030/1.3", akas), 1);
    EXPECT_EQ(ChooseAkaFor("3:1/1", akas), -1);
    EXPECT_EQ(ChooseAkaFor("2:5020/1", {}), -1);

    struct Row {
        const char* typed;
        const char* aka;
        const char* out;
    };
    const Row rows[] = {
        {"5020/1", "2:5020/120.5", "2:5020/1"},
        {"/1", "2:5020/120.5", "2:5020/1"},
        {"2:5020/1.7", "2:5020/120.5", "2:5020/1.7"},
        {"5020/1", "", "5020/1"},
        {"30/2", "2:5020/120.5", "2:30/2"},
        {"123", "2:5020/120.5", "2:5020/123"},
        {".1", "2:5020/120.5", "2:5020/120.1"},
        // Not an address with leading parts left out: left for the user, never one's own node.
        {"2:5020/abc", "2:5020/120", "2:5020/abc"},
        {"2:5020/", "2:5020/120", "2:5020/"},
        {"abc", "2:5020/120", "abc"},
        {"", "2:5020/120", ""},
        {".0", "2:5020/120", ".0"},
        {"2:/1", "2:5020/120", "2:/1"},
    };
    for (const auto& r : rows) EXPECT_EQ(CompleteAddress(r.typed, r.aka), r.out) << r.typed;
    EXPECT_EQ(BossAddress("2:5020/120.5"), "2:5020/120");

    const auto robots = TemplateLines(DefaultTemplate(tpl::RobotNames));
    EXPECT_TRUE(IsRobotName("aReAfIx", robots));
    EXPECT_FALSE(IsRobotName("Ivan", robots));
}

TEST(EditorRules, CaretQuoteAndAutoType) {
    EXPECT_EQ(CaretText(0, 0), "  1:  1");
    EXPECT_EQ(CaretText(9, 119), "120: 10");
    struct Row {
        const char* line;
        const char* next;
    };
    const Row rows[] = {{"AB> text", "AB> "}, {" AB>> deep", " AB>> "}, {"plain text", ""}, {"", ""}};
    for (const auto& r : rows) EXPECT_EQ(QuoteContinuation(r.line), r.next) << r.line;

    const std::vector<TAutoTypeEntry> table = {
        {{0x70, ssCtrl}, "one"}, {{0x70, 0}, "plain"}, {{0x70, ssCtrl}, "two"}, {{0x71, ssCtrl}, "other"}};
    EXPECT_EQ(AutoTypeTexts(table, 0x70, ssCtrl), (std::vector<std::string>{"one", "two"}));
    EXPECT_TRUE(AutoTypeTexts(table, 0x72, 0).empty());
}

TEST(EditorRules, InsertedTextCannotForgeControlLines) {
    EXPECT_EQ(CleanInsertedText(std::string("a\r\x01MSGID: 1:2/3 1\r\0b", 20)), "a\rMSGID: 1:2/3 1\rb");
    EXPECT_EQ(CleanInsertedText("Привет"), A("Привет"));     // UTF-8 file
    EXPECT_EQ(CleanInsertedText(A("Привет")), A("Привет"));  // already CP1251
    EXPECT_EQ(CleanInsertedText("plain"), "plain");
}

TEST(EditorRules, PreviewCaret) {
    int offset = -1;
    const std::string marker = CursorMacro();
    EXPECT_EQ(PreviewText("Hi!\r\r" + marker + "\rBye " + marker, offset), "Hi!\r\r\rBye " + marker);
    EXPECT_EQ(offset, 5);
    EXPECT_EQ(PreviewText("no marker", offset), "no marker");
    EXPECT_EQ(offset, 0);
}

TEST(EditorRules, PartlyFailedSendKeepsOnlyTheFailedDestinations) {
    TAreaInfo a, b, c;
    TSendState state;
    state.Destinations = {&a, &b, &c};
    TSendResult result;
    EXPECT_TRUE(KeepFailedDestinations(state, result));
    EXPECT_EQ(state.Destinations.size(), 3u);
    result.Failed = {{&c, {2, 3}, "locked"}, {&a, {1}, "locked"}};
    EXPECT_FALSE(KeepFailedDestinations(state, result));
    EXPECT_EQ(state.Destinations, (std::vector<TAreaInfo*>{&a, &c}));
    EXPECT_EQ(state.OnlyParts.at(&c), (std::vector<int>{2, 3}));
}

}  // namespace
}  // namespace pelmar

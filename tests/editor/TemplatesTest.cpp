#include <gtest/gtest.h>

#include <map>
#include <string>

#include "core/Codepage.h"
#include "core/Settings.h"
#include "editor/Templates.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

std::string A(std::string_view utf8) {
    return Utf8ToAnsi(utf8);
}

// The defaults, with overrides.
TTemplateReader Reader(std::map<std::string, std::string> overrides = {}) {
    return [overrides](const std::string& name) {
        auto it = overrides.find(name);
        return it != overrides.end() ? it->second : DefaultTemplate(name);
    };
}

TTemplateInput Letter() {
    TTemplateInput in;
    in.ToFirstName = "Vasya";
    in.ToLastName = "Pupkin";
    in.ToFullName = "Vasya Pupkin";
    in.FromFirstName = "Petya";
    in.FromFullName = "Petya";
    in.FromAddress = "2:5020/1";
    in.Destinations = {{"id1", "SU.GENERAL"}};
    return in;
}

TEST(ExpandTemplate, DefaultOrdinaryLetterBytes) {
    EXPECT_EQ(
        ExpandTemplate(Letter(), Reader()),
        A("Привет Vasya!\r\r@Курсор\r\rВсего хорошего,\rPetya.\r\r--- Пелмар 1.0 (Linux)\r * Origin: Per "
          "aspera ad astra (2:5020/1)\r"));
}

TEST(ExpandTemplate, CrosspostHeadAndReplyFromOtherArea) {
    TTemplateInput in = Letter();
    in.Mode = TEditorMode::Reply;
    in.Destinations = {{"a", "ONE"}, {"b", "TWO"}};
    in.OrigArea = TTemplateArea{"c", "ORIG"};
    const auto read = Reader({{tpl::ReplyBegin, "[rb]\r\n"}, {tpl::ReplyEnd, "[re]\r\n"}});
    EXPECT_EQ(ExpandTemplate(in, read),
              A("*** послано также в ONE\r*** послано также в TWO\r\r*** отвечая на "
                "письмо из раздела ORIG\r[rb]\r[re]\r"));
    in.OrigArea = TTemplateArea{"b", "TWO"};  // replied area among the destinations: no note
    EXPECT_EQ(ExpandTemplate(in, read),
              A("*** послано также в ONE\r*** послано также в TWO\r\r[rb]\r[re]\r"));
}

TEST(ExpandTemplate, BodySectionsByKind) {
    const auto read = Reader({{tpl::ConfirmationRead, "R"},
                              {tpl::RobotLetter, "B"},
                              {tpl::ReplyBegin, "Y"},
                              {tpl::ReplyEnd, "y"},
                              {tpl::Forwarded, "F"},
                              {tpl::LetterBegin, "L"},
                              {tpl::LetterEnd, "l"}});
    struct Row {
        TEditorMode mode;
        bool robot;
        const char* expected;
    };
    const Row rows[] = {{TEditorMode::ReadReceipt, true, "R"}, {TEditorMode::Reply, true, "B"},
                        {TEditorMode::Reply, false, "Yy"},     {TEditorMode::Forward, false, "FLl"},
                        {TEditorMode::New, false, "Ll"},       {TEditorMode::Edit, false, "Ll"},
                        {TEditorMode::Draft, false, "Ll"}};
    for (const Row& r : rows) {
        TTemplateInput in = Letter();
        in.Mode = r.mode;
        in.IsRobot = r.robot;
        EXPECT_EQ(ExpandTemplate(in, read), r.expected) << static_cast<int>(r.mode);
    }
}

TEST(ExpandTemplate, ListsAndMissingValues) {
    TTemplateInput in = Letter();
    in.ToLastName.clear();
    const auto read = Reader({{tpl::LetterBegin, A("@Фамилия|@Тирлайн|@Ориджин")},
                              {tpl::LetterEnd, ""},
                              {tpl::TearlineList, ""},
                              {tpl::OriginList, A("first\r\nsecond @СвоеИмя\r\n")}});
    in.OriginIndex = 1;
    EXPECT_EQ(ExpandTemplate(in, read), A("|@Тирлайн|second Petya"));
    in.OriginIndex = 2;
    EXPECT_EQ(ExpandTemplate(in, read), A("|@Тирлайн|@Ориджин"));
}

TEST(ExpandTemplate, ValuesFromAMessageStayLiteral) {
    TTemplateInput in = Letter();
    in.Mode = TEditorMode::Reply;
    in.OrigFrom = "Ivan";
    in.QuotedText = A(" IP> see @ОтветОт and @Имя\r\n");
    in.OrigTo = A("@ПереслатьТекст");
    const auto read =
        Reader({{tpl::ReplyBegin, A("@ТекстПисьмаОтвет|@ОтветОт|@ОтветКому")}, {tpl::ReplyEnd, ""}});
    EXPECT_EQ(ExpandTemplate(in, read), A(" IP> see @ОтветОт and @Имя\r|Ivan|@ПереслатьТекст"));

    TTemplateInput fwd = Letter();
    fwd.Mode = TEditorMode::Forward;
    fwd.ForwardText = A("text with @ПереслатьТекст and @ДатаВремяПисьмо\r\nline 2\r\n");
    fwd.ForwardSubject = A("@СвоеИмя");
    const std::string out = ExpandTemplate(fwd, Reader());
    EXPECT_NE(out.find(A("text with @ПереслатьТекст and @ДатаВремяПисьмо\rline 2\r")), std::string::npos);
    EXPECT_NE(out.find(A("/// Тема: @СвоеИмя\r")), std::string::npos);
}

TEST(TemplateLists, LibraryEntriesAndTakenLines) {
    EXPECT_EQ(LibraryEntryToListLine("My BBS (2:5020/1)(2:5020/2.3)"), "My BBS ");
    EXPECT_EQ(LibraryEntryToListLine("Nice (quote) (2:5020/1)"), "Nice (quote) (2:5020/1)");
    EXPECT_EQ(LibraryEntryToListLine("plain"), "plain");

    EXPECT_EQ(TakeOriginLine("Hi\r * Origin: My BBS (2:5000/1.5)\r\r"),
              std::optional<std::string>("My BBS "));
    EXPECT_EQ(TakeOriginLine(" * Origin: no line above"), std::nullopt);
    EXPECT_EQ(TakeOriginLine("x\r--- tear"), std::nullopt);
    EXPECT_EQ(TakeTearlineLines("a\r--- one\rb\r--- two\r * Origin: o\r"),
              (std::vector<std::string>{"two", "one"}));
}

TEST(TemplateLists, AnOlderKludgesTemplateKeepsItsCharsetLine) {
    // Profiles made before the registered name keep what they wrote; only fresh ones get CP866.
    test::ScopedHome home;
    Settings.ProgramFolder = home.Path().string() + "/";
    OpenTemplateStore();
    ASSERT_TRUE(WriteTemplate(tpl::Kludges, "GIF: PELMAR\r\nCHRS: IBM PC 2\r\n"));
    EXPECT_TRUE(WriteMissingDefaultTemplates());
    EXPECT_EQ(ReadTemplate(tpl::Kludges), "GIF: PELMAR\r\nCHRS: IBM PC 2\r\n");
    CloseTemplateStore();
}

TEST(TemplateLists, StoreAndLibraryFiles) {
    test::ScopedHome home;
    Settings.ProgramFolder = home.Path().string() + "/";
    OpenTemplateStore();
    EXPECT_TRUE(WriteMissingDefaultTemplates());
    EXPECT_EQ(ReadTemplate(tpl::Kludges), "GIF: PELMAR\r\nCHRS: CP866 2\r\n");
    EXPECT_EQ(ReadTemplate(tpl::ConfirmationRead), "");
    EXPECT_TRUE(AddListLine(tpl::OriginList, "My BBS "));
    EXPECT_FALSE(AddListLine(tpl::OriginList, "my bbs "));
    EXPECT_EQ(TemplateLines(ReadTemplate(tpl::OriginList)).back(), "My BBS ");
    CloseTemplateStore();

    EXPECT_TRUE(ReadLibrary(tpl::OriginLibrary).empty());
    test::WriteFile(home.Path() / "origin.library", "Привет (2:5020/1)\r\n\nSecond\n");
    EXPECT_EQ(ReadLibrary(tpl::OriginLibrary), (std::vector<std::string>{A("Привет (2:5020/1)"), "Second"}));
}

}  // namespace
}  // namespace pelmar

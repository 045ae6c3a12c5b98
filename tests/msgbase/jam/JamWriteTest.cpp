// Writing, rewriting, deleting and marking messages; the layout checker runs after every scenario.
#include <filesystem>

#include "JamBuilder.h"
#include "JamTestUtil.h"
#include "core/Errors.h"

namespace pelmar::test {
namespace {

namespace fs = std::filesystem;

class JamWriteTest : public JamTest {
protected:
    void TearDown() override {
        for (const std::string& base : checked) EXPECT_EQ(CheckerReport(base), "") << base;
        JamTest::TearDown();
    }
    // The checker runs on this base when the test ends.
    std::string Checked(const std::string& base) {
        checked.push_back(base);
        return base;
    }
    std::vector<std::string> checked;
};

TEST_F(JamWriteTest, NewEchomailMessageIsStoredAsTheFormatLaysItOut) {
    TJAM jam;
    CreateAndOpen(jam);
    Checked(BasePath());
    for (int i = 0; i < 5; ++i) Post(jam, "Filler", "All", "Filler " + std::to_string(i));
    const uint64_t sizeBefore = fs::file_size(BasePath() + ".jhr");

    jam.NewMessage();
    EXPECT_EQ(jam.Current, 5);
    EXPECT_EQ(jam.Count(), 6);
    jam.FromName = A("Иван Петров");
    jam.ToName = A("Сергей");
    jam.Subject = A("Проверка");
    jam.OrigAddr = "2:5020/1";
    jam.Date = EncodeDateTime(2026, 12, 2, 9, 15, 30);
    jam.Attr = AttrLocal | AttrCrash | AttrDirect | AttrRetRcpt;
    jam.Read = true;
    jam.Kludges = {"MSGID: 2:5020/1 1a2b3c4d",
                   "PID: Plm 1.0",
                   "AREA:TEST",
                   "REPLY: 2:5020/2 00000001",
                   "Via 2:5020/1 @20261202",
                   "SEEN-BY: 5020/1 2",
                   "PATH: 5020/1",
                   "FLAGS: IMM",
                   "FLAGS DIR",
                   "TZUTC: 0300",
                   A("X-CYR: привет")};
    jam.Text = A("Привет\r\n\r\r");
    ASSERT_TRUE(jam.WriteMessage());
    EXPECT_EQ(jam.Current, 5);

    const TRawJamMessage raw = ReadRawJamMessage(BasePath(), 5);
    EXPECT_EQ(raw.MessageNumber, 6u);
    EXPECT_EQ(raw.Attribute, 0x01000000u | 0x1 | 0x100 | 0x400);
    EXPECT_EQ(raw.Attribute2, 0x800u);
    EXPECT_EQ(raw.DateWritten, uint32_t(DateTimeToUnix(EncodeDateTime(2026, 12, 2, 9, 15, 30))));
    EXPECT_EQ(raw.DateReceived, raw.DateWritten);
    EXPECT_EQ(raw.DateProcessed, raw.DateWritten);
    EXPECT_EQ(fs::file_size(BasePath() + ".jhr"), sizeBefore + 76 + raw.SubfieldLen);
    const std::vector<std::pair<uint16_t, std::string>> expected = {
        {2, Oem("Иван Петров")}, {3, Oem("Сергей")},       {6, Oem("Проверка")},
        {0, "2:5020/1"},         {4, "2:5020/1 1a2b3c4d"}, {7, "Plm 1.0"},
        {2000, "AREA:TEST"},     {5, "2:5020/2 00000001"}, {8, "2:5020/1 @20261202"},
        {2001, "5020/1 2"},      {2002, "5020/1"},         {2003, "IMM"},
        {2000, "FLAGS DIR"},     {2004, "0300"},           {2000, Oem("X-CYR: привет")},
    };
    EXPECT_EQ(raw.Subfields, expected);  // DestAddr is empty: no DADDRESS
    // Reply linkers of other programs thread by these (lower-cased stored values).
    EXPECT_EQ(raw.MsgIdCrc, BitwiseCrc32("2:5020/1 1a2b3c4d"));
    EXPECT_EQ(raw.ReplyCrc, BitwiseCrc32("2:5020/2 00000001"));
    EXPECT_EQ(ReadRawJamMessage(BasePath(), 0).ReplyCrc, 0xFFFFFFFFu);  // no REPLY: the CRC of nothing
    EXPECT_EQ(raw.Text,
              Oem("Привет\r--- Automatically added by Pelmar\r * Origin: Automatically added (2:5020/1)\r"));
    // The stored name with only ASCII lower-cased: "Сергей" keeps its capital.
    EXPECT_EQ(ReadRawJamBase(BasePath()).Index[5].first, BitwiseCrc32(Oem("Сергей")));
    EXPECT_EQ(ReadRawJamBase(BasePath()).ActiveMsgs, 6u);

    // Everything reads back as written (RetRcpt has no JAM bit; FLAGS DIR stays a plain line).
    TJAM reader;
    reader.SetPath(BasePath());
    reader.Open();
    reader.ReadMessage(5);
    EXPECT_EQ(reader.FromName, A("Иван Петров"));
    EXPECT_EQ(reader.ToName, A("Сергей"));
    EXPECT_EQ(reader.Subject, A("Проверка"));
    EXPECT_EQ(reader.MsgId, "2:5020/1 1a2b3c4d");
    EXPECT_EQ(reader.ReplyId, "2:5020/2 00000001");
    EXPECT_EQ(reader.OrigAddr, "2:5020/1");
    EXPECT_EQ(reader.DestAddr, "2:5020/2");
    EXPECT_EQ(reader.Attr, AttrLocal | AttrCrash | AttrDirect);
    EXPECT_TRUE(reader.Read);
    EXPECT_EQ(reader.Date, EncodeDateTime(2026, 12, 2, 9, 15, 30));
    EXPECT_EQ(reader.Kludges.size(), 11u);
    EXPECT_EQ(reader.Kludges[9], "TZUTC: 0300");
    EXPECT_EQ(reader.Kludges[2], "AREA:TEST");
    EXPECT_EQ(reader.Kludges.back(), A("X-CYR: привет"));
    EXPECT_EQ(reader.Text,
              A("Привет\r--- Automatically added by Pelmar\r * Origin: Automatically added (2:5020/1)\r"));
}

TEST_F(JamWriteTest, NetmailKeepsAddressesInSubfieldsAndNoAddressLines) {
    TJAM jam;
    CreateAndOpen(jam);
    Checked(BasePath());
    jam.Netmail = true;
    jam.NewMessage();
    jam.FromName = "Me";
    jam.ToName = "Sysop";
    jam.OrigAddr = "2:5020/1.5";
    jam.DestAddr = "2:5020/2.7";
    jam.Attr = AttrDirect;
    jam.Text = "Hi\r\n";
    ASSERT_TRUE(jam.WriteMessage());
    const TRawJamMessage raw = ReadRawJamMessage(BasePath(), 0);
    EXPECT_EQ(raw.Attribute, 0x02000000u | 0x400);
    EXPECT_EQ(raw.Text, "Hi\r");  // no origin or tearline in netmail
    for (const auto& [id, data] : raw.Subfields) EXPECT_NE(data.substr(0, 4), "INTL");
    jam.ReadMessage(0);
    EXPECT_EQ(jam.OrigAddr, "2:5020/1.5");
    EXPECT_EQ(jam.DestAddr, "2:5020/2.7");
    EXPECT_TRUE(jam.Kludges.empty());
    EXPECT_EQ(jam.Attr, AttrDirect);
}

TEST_F(JamWriteTest, RewriteAppendsANewHeaderAndKeepsThePosition) {
    TJAM jam;
    CreateAndOpen(jam);
    Checked(BasePath());
    for (int i = 0; i < 4; ++i) Post(jam, "A", "All", "Subject " + std::to_string(i));
    const uint32_t oldOffset = ReadRawJamBase(BasePath()).Index[2].second;
    const int32_t modCounter = jam.ChangeCounter();
    const double stamp = jam.ChangeStamp();

    jam.Seek(2);
    jam.PrepareRewrite();
    EXPECT_TRUE(jam.FromName.empty());
    jam.FromName = "A";
    jam.ToName = "Somebody";
    jam.Subject = "Edited";
    jam.Text = "Edited text\r";
    ASSERT_TRUE(jam.WriteMessage());
    EXPECT_EQ(jam.Current, 2);
    EXPECT_EQ(jam.Count(), 4);
    EXPECT_EQ(jam.ChangeCounter(), modCounter + 1);
    EXPECT_NE(jam.ChangeStamp(), stamp);

    const TRawJamBase raw = ReadRawJamBase(BasePath());
    EXPECT_EQ(raw.Index.size(), 4u);
    EXPECT_EQ(raw.ActiveMsgs, 4u);
    EXPECT_GT(raw.Index[2].second, oldOffset);
    EXPECT_EQ(ReadRawJamMessage(BasePath(), 2).MessageNumber, 3u);
    jam.ReadMessage(2);
    EXPECT_EQ(jam.Subject, "Edited");
    EXPECT_EQ(jam.ToName, "Somebody");
}

TEST_F(JamWriteTest, AbandonedEditsLeaveTheListIntact) {
    TJAM jam;
    CreateAndOpen(jam);
    Checked(BasePath());
    Post(jam, "A", "All", "Kept");
    // An edit that is never written keeps the stored message readable.
    jam.Seek(0);
    jam.PrepareRewrite();
    jam.ReadMessage(0);
    EXPECT_EQ(jam.Subject, "Kept");
    // A second NewMessage replaces a first one never written instead of leaving a hole.
    jam.NewMessage();
    jam.NewMessage();
    EXPECT_EQ(jam.Index.size(), 2u);
    EXPECT_EQ(jam.Count(), 2);
    jam.FromName = "B";
    jam.ToName = "All";
    jam.Text = "x\r";
    ASSERT_TRUE(jam.WriteMessage());
    EXPECT_EQ(jam.Current, 1);
    // Deleting a message never written touches nothing on disk, even after another writer appended.
    jam.NewMessage();
    TJAM other;
    other.SetPath(BasePath());
    other.Open();
    Post(other, "C", "All", "other's");
    const std::string before = ReadFile(BasePath() + ".jhr") + ReadFile(BasePath() + ".jdx");
    ASSERT_TRUE(jam.DeleteCurrent());
    EXPECT_EQ(ReadFile(BasePath() + ".jhr") + ReadFile(BasePath() + ".jdx"), before);
    EXPECT_EQ(jam.Count(), 2);
    // Writing the same message again stores a fresh copy at the end instead of overwriting in place.
    jam.Seek(1);
    jam.Text = "a much longer text than before, so an in-place write would run over the next header\r";
    ASSERT_TRUE(jam.WriteMessage());
    EXPECT_EQ(jam.Count(), 3);
    EXPECT_EQ(ReadRawJamBase(BasePath()).Index.size(), 3u);
}

TEST_F(JamWriteTest, DeleteMarksEntryHeaderAndCounters) {
    TJAM jam;
    CreateAndOpen(jam);
    Checked(BasePath());
    for (int i = 0; i < 3; ++i) Post(jam, "A", "All", "S" + std::to_string(i));
    const uint32_t offset = ReadRawJamBase(BasePath()).Index[1].second;
    const int32_t modCounter = jam.ChangeCounter();

    jam.Seek(1);
    int32_t headerOffset = 0;
    uint32_t crc = 0;
    ASSERT_TRUE(jam.DeleteCurrent(&headerOffset, &crc));
    EXPECT_EQ(headerOffset, static_cast<int32_t>(offset));
    EXPECT_EQ(crc, JamTextCrc("All"));
    EXPECT_TRUE(jam.CheckCurrent());
    EXPECT_EQ(jam.Count(), 2);
    EXPECT_EQ(jam.ChangeCounter(), modCounter + 1);

    const TRawJamBase raw = ReadRawJamBase(BasePath());
    EXPECT_EQ(raw.Index[1], std::make_pair(0xFFFFFFFFu, 0xFFFFFFFFu));
    EXPECT_EQ(raw.ActiveMsgs, 2u);
    EXPECT_EQ(raw.Index.size(), 3u);  // positions do not shift
    std::vector<int32_t> walked;
    for (bool more = jam.First(); more; more = jam.Next()) walked.push_back(jam.Current);
    EXPECT_EQ(walked, (std::vector<int32_t>{0, 2}));

    // A base reopened sees the same.
    TJAM again;
    again.SetPath(BasePath());
    again.Open();
    EXPECT_EQ(again.Count(), 2);
    again.Seek(1);
    EXPECT_FALSE(again.IsValid());
}

TEST_F(JamWriteTest, MarkReadChangesOnlyTheReadBit) {
    TJAM jam;
    CreateAndOpen(jam);
    Checked(BasePath());
    Post(jam, "A", "All", "S");
    Post(jam, "A", "All", "T");
    const std::string before = ReadFile(BasePath() + ".jhr");
    jam.Seek(1);
    jam.MarkRead();
    const std::string after = ReadFile(BasePath() + ".jhr");
    const uint32_t offset = ReadRawJamBase(BasePath()).Index[1].second;
    ASSERT_EQ(before.size(), after.size());
    for (size_t i = 0; i < after.size(); ++i) {
        if (i != offset + 57) {
            EXPECT_EQ(before[i], after[i]) << "byte " << i;
        }
    }
    EXPECT_EQ(ReadRawJamMessage(BasePath(), 1).Attribute2, 0x800u);
    jam.ReadMessage(1);
    EXPECT_TRUE(jam.Read);
}

TEST_F(JamWriteTest, CountUnreadCountsReadMarksAndPersonalMail) {
    Settings.FullName = A("Иван Петров");
    TJAM jam;
    CreateAndOpen(jam);
    Checked(BasePath());
    Post(jam, "A", A("Иван Петров"), "1");
    Post(jam, "A", A("Иван Петров"), "2");
    Post(jam, "A", "All", "3");
    Post(jam, "A", A("иван петров"), "4");  // the name compares case-sensitively
    jam.Seek(1);
    jam.MarkRead();
    jam.Seek(2);
    jam.DeleteCurrent();
    EXPECT_EQ(jam.CountUnread(), 2);
    EXPECT_EQ(jam.PersonalUnread, 1);
}

TEST_F(JamWriteTest, MessagesOtherWritersAddedSinceOpenAreKept) {
    TJAM mine, theirs;
    CreateAndOpen(mine);
    Checked(BasePath());
    Post(mine, "Me", "All", "First");
    theirs.SetPath(BasePath());
    theirs.Open();
    ASSERT_TRUE(theirs.Active);

    // Both start a message on the same view of the base; the other one writes first.
    mine.NewMessage();
    Post(theirs, "Them", "All", "Theirs");
    mine.FromName = "Me";
    mine.ToName = "All";
    mine.Subject = "Mine";
    mine.Text = "x\r";
    ASSERT_TRUE(mine.WriteMessage());
    EXPECT_EQ(mine.Current, 2);  // after the other writer's message, not over it
    EXPECT_EQ(mine.Count(), 3);
    Post(theirs, "Them", "All", "Theirs again");

    TJAM reader;
    reader.SetPath(BasePath());
    reader.Open();
    std::vector<std::string> subjects;
    for (bool more = reader.First(); more; more = reader.Next()) {
        reader.ReadHeader();
        subjects.push_back(reader.Subject);
    }
    EXPECT_EQ(subjects, (std::vector<std::string>{"First", "Theirs", "Mine", "Theirs again"}));
    EXPECT_EQ(ReadRawJamBase(BasePath()).ActiveMsgs, 4u);

    // A delete through a stale view marks the right entry and keeps the others.
    mine.Seek(1);
    ASSERT_TRUE(mine.DeleteCurrent());
    EXPECT_EQ(ReadRawJamBase(BasePath()).Index.size(), 4u);
    EXPECT_EQ(ReadRawJamBase(BasePath()).ActiveMsgs, 3u);

    // An edit of a message the other writer deleted meanwhile brings it back and counts it.
    mine.Seek(0);
    mine.PrepareRewrite();
    Post(theirs, "Them", "All", "Theirs last");
    theirs.Seek(0);
    ASSERT_TRUE(theirs.DeleteCurrent());
    mine.FromName = "Me";
    mine.ToName = "All";
    mine.Subject = "First, edited";
    mine.Text = "y\r";
    ASSERT_TRUE(mine.WriteMessage());
    EXPECT_EQ(mine.Current, 0);
    EXPECT_EQ(ReadRawJamBase(BasePath()).ActiveMsgs, 4u);
}

TEST_F(JamWriteTest, WritingIntoATosserBaseKeepsItsMessages) {
    for (const char* ext : {".jhr", ".jdt", ".jdx", ".jlr"})
        CopyFixture(std::string("crashmail/bases/rutest") + ext, dir.Path());
    const std::string base = dir.File("rutest");
    TJAM jam;
    jam.SetPath(base);
    jam.Open();
    ASSERT_TRUE(jam.Active);
    Post(jam, "Pelmar", A("Иван Петров"), "Reply");
    EXPECT_EQ(jam.Current, 7);
    EXPECT_EQ(jam.Count(), 8);
    jam.Seek(3);
    ASSERT_TRUE(jam.DeleteCurrent());
    // crashmail computes its own recipient CRCs its own way; ours are checked below.
    EXPECT_TRUE(CheckJamBase(base, /*checkToCrc=*/false).empty());
    // The value smapi gives the same recipient in its own ru.test index.
    EXPECT_EQ(ReadRawJamBase(base).Index[7].first, 0x644FB553u);
    EXPECT_EQ(ReadRawJamMessage(base, 7).MessageNumber, 8u);
    jam.ReadMessage(6);
    EXPECT_EQ(jam.Subject, "Personal one");
}

TEST_F(JamWriteTest, EmptyRecipientIsNotAValidPosition) {
    TJAM jam;
    CreateAndOpen(jam);
    Checked(BasePath());
    Post(jam, "A", "", "Nobody");
    EXPECT_EQ(ReadRawJamBase(BasePath()).Index[0].first, 0xFFFFFFFFu);
    jam.Seek(0);
    EXPECT_FALSE(jam.IsValid());
    jam.ReadMessage(0);
    EXPECT_EQ(jam.Subject, "Nobody");
}

TEST_F(JamWriteTest, WriteTouchesTheEchomailFlagFile) {
    Settings.bEchoFlag = true;
    Settings.EchoFlag = dir.File("echomail.flg");
    TJAM jam;
    CreateAndOpen(jam);
    Checked(BasePath());
    Post(jam, "A", "All", "S");
    EXPECT_TRUE(fs::exists(dir.File("echomail.flg")));
}

}  // namespace
}  // namespace pelmar::test

namespace pelmar::test {
namespace {

TEST_F(JamWriteTest, EachWalkSeesWhatWasWrittenBeforeItStarted) {
    TJAM viewer, other;
    CreateAndOpen(viewer);
    Checked(BasePath());
    for (int i = 0; i < 3; ++i) Post(viewer, "A", "All", "S" + std::to_string(i));
    other.SetPath(BasePath());
    other.Open();

    const auto readMarks = [&viewer] {
        std::vector<bool> marks;
        for (bool more = viewer.First(); more; more = viewer.Next()) {
            viewer.ReadToAndRead();
            marks.push_back(viewer.Read);
        }
        return marks;
    };
    EXPECT_EQ(readMarks(), (std::vector<bool>{false, false, false}));
    other.Seek(1);
    other.MarkRead();
    EXPECT_EQ(readMarks(), (std::vector<bool>{false, true, false}));
    // A message opened after the list was filled is read fresh, not from the walk's window.
    ASSERT_TRUE(viewer.First());
    viewer.ReadHeader();
    other.Seek(2);
    other.MarkRead();
    viewer.ReadMessage(2);
    EXPECT_TRUE(viewer.Read);
}

TEST_F(JamWriteTest, LongControlLinesAndBodiesRoundTrip) {
    TJAM jam;
    CreateAndOpen(jam);
    Checked(BasePath());
    Post(jam, "A", "All", "before");
    jam.NewMessage();
    jam.FromName = "A";
    jam.ToName = "All";
    jam.Subject = "long";
    jam.Kludges = {"X-LONG: " + std::string(70000, 'k')};
    jam.Text = std::string(200000, 't') + "\r";
    ASSERT_TRUE(jam.WriteMessage());
    Post(jam, "A", "All", "after");

    std::vector<std::string> subjects;
    for (bool more = jam.First(); more; more = jam.Next()) {
        jam.ReadHeader();
        subjects.push_back(jam.Subject);
    }
    EXPECT_EQ(subjects, (std::vector<std::string>{"before", "long", "after"}));
    jam.ReadMessage(1);
    ASSERT_EQ(jam.Kludges.size(), 1u);
    EXPECT_EQ(jam.Kludges[0].size(), 70008u);
    EXPECT_EQ(jam.Text.substr(0, 200000), std::string(200000, 't'));
}

}  // namespace
}  // namespace pelmar::test

namespace pelmar::test {
namespace {

TEST_F(JamWriteTest, WindowsViewLeavesFreeFormLinesAndTheBodyAsStored) {
    TJAM jam;
    CreateAndOpen(jam);
    Checked(BasePath());
    jam.NewMessage();
    jam.FromName = A("Иван");
    jam.ToName = "All";
    jam.Subject = A("Тема");
    jam.OrigAddr = "2:5020/1";
    jam.Kludges = {A("PID: Плм"), A("X-CYR: кириллица"), A("Via Узел")};
    jam.Text = A("Текст\r");
    ASSERT_TRUE(jam.WriteMessage());

    Settings.TextInWindowsCodePage = true;
    jam.ReadMessage(0);
    EXPECT_EQ(jam.FromName, A("Иван"));
    EXPECT_EQ(jam.Subject, A("Тема"));
    EXPECT_EQ(jam.Kludges,
              (std::vector<std::string>{A("PID: Плм"), "X-CYR: " + Oem("кириллица"), "Via " + Oem("Узел")}));
    EXPECT_EQ(jam.Text.substr(0, 6), Oem("Текст\r"));
    Settings.TextInWindowsCodePage = false;
    jam.ReadMessage(0);
    EXPECT_EQ(jam.Kludges[1], A("X-CYR: кириллица"));
    EXPECT_EQ(jam.Text.substr(0, 6), A("Текст\r"));
}

}  // namespace
}  // namespace pelmar::test

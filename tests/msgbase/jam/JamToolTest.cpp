// pelmar-tool dump and post on JAM bases, the tool running as a separate process.
#include "JamBuilder.h"
#include "JamTestUtil.h"
#include "support/Json.h"

namespace pelmar::test {
namespace {

std::string Quote(const std::string& text) {
    return "'" + text + "'";
}

TEST_F(JamTest, ToolDumpsATosserBase) {
    for (const char* ext : {".jhr", ".jdt", ".jdx", ".jlr"})
        CopyFixture(std::string("crashmail/bases/rutest") + ext, dir.Path());
    std::string out;
    ASSERT_EQ(RunCommand(ToolPath() + " dump --kind jam " + Quote(dir.File("rutest")), &out), 0);
    const std::vector<TJson> lines = ParseJsonLines(out);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0]["subject"].String, "Привет всем");
    EXPECT_EQ(lines[1]["msgid"].String, "2:5020/3.7 0000b001");
    EXPECT_EQ(lines[1]["orig"].String, "2:5020/3.7");
    EXPECT_EQ(lines[6]["to"].String, "Иван Петров");
}

TEST_F(JamTest, ToolPostCreatesAndAppends) {
    const std::string body = dir.File("body.txt");
    WriteFile(body, "Первая строка\nвторая\n");
    const std::string post = ToolPath() + " post --kind jam " + Quote(BasePath()) +
                             " --from 'Иван' --to 'Всем' --subject 'Тема' --orig 2:5020/1 --file " +
                             Quote(body);
    std::string out;
    ASSERT_EQ(RunCommand(post + " --create", &out), 0) << out;
    EXPECT_EQ(out, "0\n");
    ASSERT_EQ(RunCommand(post, &out), 0) << out;
    EXPECT_EQ(out, "1\n");
    EXPECT_EQ(CheckerReport(BasePath()), "");

    TJAM jam;
    jam.SetPath(BasePath());
    jam.Open();
    ASSERT_EQ(jam.Count(), 2);
    jam.ReadMessage(1);
    EXPECT_EQ(U(jam.FromName), "Иван");
    EXPECT_EQ(U(jam.ToName), "Всем");
    EXPECT_EQ(jam.OrigAddr, "2:5020/1");
    ASSERT_EQ(jam.Kludges.size(), 3u);  // MSGID, PID, TZUTC: the header every new message gets
    EXPECT_EQ(jam.Kludges[2].rfind("TZUTC: ", 0), 0u) << jam.Kludges[2];
    EXPECT_EQ(jam.Text.rfind(A("Первая строка\rвторая\r--- "), 0), 0u) << U(jam.Text);
}

TEST_F(JamTest, ToolPostIsRefusedWhileTheBaseIsLocked) {
    TJAM jam;
    CreateAndOpen(jam);
    TBaseFile holder;
    ASSERT_TRUE(holder.Open(BasePath() + ".jhr"));
    ASSERT_TRUE(holder.TryLock(0, 1));
    std::string out;
    const int status = RunCommand("echo text | " + ToolPath() + " post --kind jam " + Quote(BasePath()) +
                                      " --from A --to B --subject C --orig 2:5020/1 2>&1",
                                  &out);
    EXPECT_NE(status, 0);
    EXPECT_NE(out.find("Не могу записать письмо т.к. не удалось получить доступ к JAM-базе!"),
              std::string::npos)
        << out;
    holder.Unlock(0, 1);
    EXPECT_EQ(ReadFile(BasePath() + ".jdx"), "");
    EXPECT_EQ(ReadRawJamBase(BasePath()).ActiveMsgs, 0u);
}

TEST_F(JamTest, ToolDumpReportsDamagedMessagesAndGoesOn) {
    TJamBuilder builder;
    for (const char* subject : {"one", "two", "three"})
        builder.Add({{{JamSfSubject, subject}, {JamSfReceiverName, "All"}}, "x\r"});
    builder.Jhr[builder.HeaderOffset(1)] = '?';
    builder.Write(BasePath());
    std::string out;
    const int status =
        RunCommand(ToolPath() + " dump --kind jam " + Quote(BasePath()) + " 2>/dev/null", &out);
    EXPECT_EQ(status, 3);
    const std::vector<TJson> lines = ParseJsonLines(out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]["subject"].String, "one");
    EXPECT_EQ(lines[1]["subject"].String, "three");
}

}  // namespace
}  // namespace pelmar::test

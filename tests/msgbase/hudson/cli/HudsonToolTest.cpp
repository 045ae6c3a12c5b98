// pelmar-tool posting into and dumping a Hudson board, also as the second process against a lock.
#include <gtest/gtest.h>

#include "msgbase/BaseFile.h"
#include "support/TestSupport.h"

namespace pelmar::test {
namespace {

class HudsonTool : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"MSGIDX.BBS", "MSGTOIDX.BBS", "MSGHDR.BBS", "MSGTXT.BBS"})
            WriteFile(dir.Path() / name, "");
        WriteFile(dir.Path() / "MSGINFO.BBS", std::string(406, '\0'));
    }
    int Tool(const std::string& args, std::string* out = nullptr) {
        return RunCommand(ToolPath() + " " + args + " 2>/dev/null", out);
    }
    std::string Base(int board) {
        return "--kind hudson '" + dir.Path().string() + "' --board " + std::to_string(board);
    }
    TempDir dir;
};

TEST_F(HudsonTool, PostedMessagesComeBackInTheDump) {
    WriteFile(dir.Path() / "body.txt", "Привет\r\n" + std::string(400, 'x') + "\n");
    ASSERT_EQ(Tool("post " + Base(9) + " --from 'Иван' --to All --subject 'Тест' --orig 2:5020/1 --file '" +
                   (dir.Path() / "body.txt").string() + "'"),
              0);
    ASSERT_EQ(Tool("post " + Base(9) +
                   " --netmail --from A --to B --subject N --orig 2:5020/1.5 --dest 1:2/3 "
                   "--attr 'Crash Sent' </dev/null"),
              0);
    std::string dump;
    ASSERT_EQ(Tool("dump " + Base(9) + " --netmail", &dump), 0);
    const size_t split = dump.find('\n');
    ASSERT_NE(split, std::string::npos);
    const std::string first = dump.substr(0, split), second = dump.substr(split + 1);
    EXPECT_NE(first.find("\"subject\": \"Тест\""), std::string::npos) << first;
    EXPECT_NE(
        first.find("\"text\": \"Привет\\n" + std::string(400, 'x') + "\\n--- Automatically added by Pelmar"),
        std::string::npos)
        << first;
    EXPECT_NE(second.find("\"orig\": \"2:5020/1.5\", \"dest\": \"1:2/3\", \"attr\": [\"Sent\", \"Crash\"]"),
              std::string::npos)
        << second;
    EXPECT_EQ(ReadFile(dir.Path() / "echomail.bbs"), std::string(2, '\0'));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "netmail.bbs"));
    std::string other;
    EXPECT_EQ(Tool("dump " + Base(8), &other), 0);
    EXPECT_EQ(other, "");
}

TEST_F(HudsonTool, PostFailsWhileAnotherProcessHoldsTheLock) {
    TBaseFile info;
    ASSERT_TRUE(info.Open((dir.Path() / "MSGINFO.BBS").string()));
    ASSERT_TRUE(info.TryLock(0, 406));
    EXPECT_EQ(Tool("post " + Base(1) + " --from A --to B --subject S --orig 2:5020/1 </dev/null"), 1);
    EXPECT_EQ(ReadFile(dir.Path() / "MSGHDR.BBS"), "");
    EXPECT_EQ(ReadFile(dir.Path() / "MSGTXT.BBS"), "");
    info.Unlock(0, 406);
    EXPECT_EQ(Tool("post " + Base(1) + " --from A --to B --subject S --orig 2:5020/1 </dev/null"), 0);
    EXPECT_EQ(ReadFile(dir.Path() / "MSGHDR.BBS").size(), 187u);
}

}  // namespace
}  // namespace pelmar::test

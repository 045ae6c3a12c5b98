// pelmar-tool as users and other tests run it: dump and post on *.MSG areas, and its errors.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "core/Settings.h"
#include "msgbase/jam/JamChecker.h"
#include "msgbase/squish/SquishLayout.h"
#include "support/Json.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

struct TRun {
    int Status = 0;
    std::string Out;
    std::string Err;
};

class ToolTest : public ::testing::Test {
protected:
    TRun Tool(const std::string& arguments, const std::string& input = "") {
        const std::string errFile = tmp_.File("stderr.txt");
        std::string command = "'" + test::ToolPath() + "' " + arguments + " 2>'" + errFile + "'";
        if (!input.empty()) {
            test::WriteFile(tmp_.File("stdin.txt"), input);
            command += " <'" + tmp_.File("stdin.txt") + "'";
        } else {
            command += " </dev/null";
        }
        TRun run;
        run.Status = test::RunCommand(command, &run.Out);
        run.Err = test::ReadFile(errFile);
        return run;
    }

    static std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            lines.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        return lines;
    }

    std::string Area(const std::string& name) {
        const fs::path dir = tmp_.Path() / name;
        fs::create_directories(dir);
        return "'" + dir.string() + "'";
    }

    test::TempDir tmp_;
    test::ScopedHome home_;  // the MSGID counter lives in the home folder
};

TEST_F(ToolTest, DumpsAFixtureAreaAsJsonLines) {
    const auto dir = test::CopyFixture("crashmail/bases/netmail", tmp_.Path());
    const TRun run = Tool("dump --kind msg '" + dir.string() + "' --netmail");
    ASSERT_EQ(run.Status, 0) << run.Err;
    const auto lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 2u);
    const std::string& second = lines[1];
    for (const char* part :
         {"{\"position\": 1, ", "\"from\": \"Remote Guy\"", "\"subject\": \"Crash netmail\"",
          "\"date\": \"2026-12-06T08:08:08\"", "\"orig\": \"1:234/5.6\"", "\"dest\": \"2:5020/1\"",
          "\"attr\": [\"Sent\", \"Crash\", \"Direct\"]", "\"read\": false",
          "\"kludges\": [\"INTL 2:5020/1 1:234/5\", \"FMPT 6\", \"MSGID: 1:234/5.6 0000bb01\", \"PID: "
          "TestGen 1.0\", "
          "\"FLAGS DIR\"]",
          "\"text\": \"Netmail with points and crash flag.\"}"}) {
        EXPECT_NE(second.find(part), std::string::npos) << part << "\nin " << second;
    }
    EXPECT_NE(lines[0].find("\"to\": \"Иван Петров\""), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("\"text\": \"Привет, это нетмейл.\\nС уважением, босс.\"}"), std::string::npos);
}

TEST_F(ToolTest, EscapesJsonAndLimitsHeaderDumps) {
    const auto dir = test::CopyFixture("smapi/bases/msg/ru.test", tmp_.Path());
    TRun run = Tool("dump --kind msg '" + dir.string() + "'");
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(Lines(run.Out).size(), 16u);
    EXPECT_NE(run.Out.find("\"subject\": \"Спецсимволы {} \\\\ _подчёркнутое_ *жирное*\""),
              std::string::npos);
    EXPECT_NE(run.Out.find("\"orig\": \"2:5020/4.12\""), std::string::npos);  // echomail: from the MSGID

    run = Tool("dump --kind msg '" + dir.string() + "' --headers");
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(Lines(run.Out).size(), 16u);
    EXPECT_EQ(run.Out.find("\"text\""), std::string::npos);
    EXPECT_EQ(run.Out.find("\"attr\""), std::string::npos);
    EXPECT_NE(run.Out.find("\"msgid\": \"2:5020/2 6a1b0001\""), std::string::npos);
}

TEST_F(ToolTest, HeaderDumpsShowOnlyTheFieldsTheFormatReads) {
    const struct {
        const char* Kind;
        bool Addresses;
    } rows[] = {{"msg", true}, {"jam", true}, {"squish", false}};
    for (const auto& row : rows) {
        const std::string base = (test::FixturesDir() / "smapi/bases" / row.Kind / "netmail").string();
        const TRun run = Tool(std::string("dump --kind ") + row.Kind + " '" + base + "' --netmail --headers");
        ASSERT_EQ(run.Status, 0) << row.Kind << run.Err;
        const auto lines = test::ParseJsonLines(run.Out);
        ASSERT_FALSE(lines.empty()) << row.Kind;
        EXPECT_EQ(lines[0].Has("orig"), row.Addresses) << row.Kind;
        EXPECT_EQ(lines[0].Has("dest"), row.Addresses) << row.Kind;
        if (row.Addresses) EXPECT_NE(lines[0]["orig"].String, "") << row.Kind;
        EXPECT_TRUE(lines[0].Has("msgid") && lines[0].Has("from")) << row.Kind;
    }
}

TEST_F(ToolTest, PostedNetmailDumpsBack) {
    const std::string area = Area("net");
    test::WriteFile(tmp_.File("body.txt"), "Привет!\r\nВторая строка\n");
    TRun run = Tool("post --kind msg " + area +
                    " --netmail --from 'Иван Петров' --to Sysop --subject 'Тема письма' --orig 2:5020/1.5 "
                    "--dest 2:5020/2.7 --attr 'Local,Crash' --file '" +
                    tmp_.File("body.txt") + "'");
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "0\n");
    EXPECT_TRUE(fs::exists(tmp_.Path() / "net" / "2.msg"));

    run = Tool("dump --kind msg " + area + " --netmail");
    ASSERT_EQ(run.Status, 0) << run.Err;
    for (const char* part :
         {"\"from\": \"Иван Петров\"", "\"to\": \"Sysop\"", "\"subject\": \"Тема письма\"",
          "\"orig\": \"2:5020/1.5\"", "\"dest\": \"2:5020/2.7\"", "\"attr\": [\"Local\", \"Crash\"]",
          "\"kludges\": [\"INTL 2:5020/2 2:5020/1\", \"TOPT 7\", \"FMPT 5\", \"MSGID: 2:5020/1.5 ",
          "\"PID: Plm 1.0\", \"TZUTC: ", "\"text\": \"Привет!\\nВторая строка\"}"}) {
        EXPECT_NE(run.Out.find(part), std::string::npos) << part << "\nin " << run.Out;
    }
    const size_t msgid = run.Out.find("MSGID: 2:5020/1.5 ");
    ASSERT_NE(msgid, std::string::npos);
    EXPECT_EQ(run.Out.substr(msgid + 18 + 8, 1), "\"");  // eight hex digits
}

TEST_F(ToolTest, PostedEchomailFromStdinGetsTearlineAndOrigin) {
    const std::string area = Area("echo");
    TRun run = Tool(
        "post --kind msg " + area + " --from A --to All --subject Hi --orig 2:5020/1 --reply '2:5020/7 1'",
        "Line\n");
    ASSERT_EQ(run.Status, 0) << run.Err;
    // Without --orig the profile's first own address is the origin.
    Settings.SelfAKA = {"bad", "2:5020/9.1", "2:5020/9"};
    ASSERT_TRUE(SaveSettings());
    run = Tool("post --kind msg " + area + " --from B --to All --subject Again", "Second\n");
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "1\n");

    run = Tool("dump --kind msg " + area);
    const auto lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(
        lines[0].find("\"text\": \"Line\\n--- Automatically added by Pelmar\\n * Origin: Automatically added "
                      "(2:5020/1)\"}"),
        std::string::npos)
        << lines[0];
    EXPECT_NE(lines[0].find("\"dest\": \"2:5020/7\""), std::string::npos);
    EXPECT_NE(lines[1].find("\"MSGID: 2:5020/9.1 "), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find("(2:5020/9.1)\"}"), std::string::npos) << lines[1];
}

// Bodies without the control and SEEN-BY lines, which the formats keep in different places.
std::vector<std::string> BodyLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) {
        if (line.rfind("SEEN-BY:", 0) != 0 && line.rfind("\x01", 0) != 0) lines.push_back(line);
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
}

TEST_F(ToolTest, DumpsEveryCp866CharacterAsTheFixtureDumps) {
    for (const std::string kind : {"msg", "squish", "jam"}) {
        const std::string base = (test::FixturesDir() / "smapi/bases" / kind / "ru.test").string();
        const TRun run = Tool("dump --kind " + kind + " '" + base + "'");
        ASSERT_EQ(run.Status, 0) << kind << run.Err;
        const auto ours = test::ParseJsonLines(run.Out);
        const auto theirs =
            test::ReadJsonLines((test::FixturesDir() / ("smapi/dumps/" + kind + "-ru.test.jsonl")).string());
        ASSERT_EQ(ours.size() + 1, theirs.size()) << kind;  // their first line describes the area
        for (size_t i = 0; i < ours.size(); ++i) {
            const auto& their = theirs[i + 1];
            EXPECT_EQ(ours[i]["subject"].String, their["subject"].String) << kind << i;
            EXPECT_EQ(ours[i]["from"].String, their["from"].String) << kind << i;
            EXPECT_EQ(BodyLines(ours[i]["text"].String), BodyLines(their["body"].String)) << kind << i;
        }
    }
}

TEST_F(ToolTest, PostStoresPseudographicsAsCp866) {
    const std::string area = Area("net");
    test::WriteFile(tmp_.File("body.txt"), "┌─┐ │ ╚═╝ ░▒▓█ √■∙ Н Ё € x\n");
    TRun run =
        Tool("post --kind msg " + area + " --netmail --from 'Иван' --to Sysop --subject '╔═ Таблица ═╗' " +
             "--orig 2:5020/1 --dest 2:5020/2 --file '" + tmp_.File("body.txt") + "'");
    ASSERT_EQ(run.Status, 0) << run.Err;
    const std::string stored = test::ReadFile(tmp_.Path() / "net" / "2.msg");
    EXPECT_NE(stored.find("\xDA\xC4\xBF \xB3 \xC8\xCD\xBC \xB0\xB1\xB2\xDB \xFB\xFE\xF9 \x8D \xF0 ? x\r"),
              std::string::npos);
    EXPECT_NE(stored.find("\xC9\xCD \x92\xA0\xA1\xAB\xA8\xE6\xA0 \xCD\xBB"), std::string::npos);

    run = Tool("dump --kind msg " + area + " --netmail");
    ASSERT_EQ(run.Status, 0) << run.Err;
    const auto dumped = test::ParseJsonLines(run.Out);
    ASSERT_EQ(dumped.size(), 1u);
    EXPECT_EQ(dumped[0]["subject"].String, "╔═ Таблица ═╗");
    EXPECT_EQ(dumped[0]["text"].String, "┌─┐ │ ╚═╝ ░▒▓█ √■∙ Н Ё ? x");
}

TEST_F(ToolTest, ParallelPostsGetDistinctMsgIds) {
    const std::string area = Area("echo");
    std::string command;
    for (int i = 0; i < 6; ++i) {
        command += "'" + test::ToolPath() + "' post --kind msg " + area + " --from A --to All " +
                   "--subject S" + std::to_string(i) + " --orig 2:5020/1 </dev/null >/dev/null & ";
    }
    ASSERT_EQ(test::RunCommand(command + "wait"), 0);
    const TRun run = Tool("dump --kind msg " + area + " --headers");
    ASSERT_EQ(run.Status, 0) << run.Err;
    std::set<std::string> msgids;
    for (const auto& line : Lines(run.Out)) {
        const size_t at = line.find("\"msgid\": \"");
        ASSERT_NE(at, std::string::npos) << line;
        msgids.insert(line.substr(at, line.find('"', at + 11) - at));
    }
    EXPECT_EQ(Lines(run.Out).size(), 6u);
    EXPECT_EQ(msgids.size(), 6u) << run.Out;
}

TEST_F(ToolTest, CreateMakesEveryKindAndNeverWipesABase) {
    const struct {
        const char* Kind;
        std::string Path;  // a new base, or a copy of a fixture base
        int Before;        // messages already there
    } rows[] = {
        {"msg", tmp_.File("new-msg"), 0},
        {"squish", tmp_.File("new-squish"), 0},
        {"jam", tmp_.File("new-jam"), 0},
        {"hudson", tmp_.File("new-hudson"), 0},
        {"msg", (test::CopyFixture("smapi/bases/msg/ru.test", tmp_.Path())).string(), 16},
        {"squish", (test::CopyFixture("smapi/bases/squish", tmp_.Path()) / "ru.test").string(), 15},
        {"jam", (test::CopyFixture("crashmail/bases", tmp_.Path()) / "rutest").string(), 7},
    };
    for (const auto& row : rows) {
        const std::string post =
            std::string("post --kind ") + row.Kind + " '" + row.Path +
            "' --board 7 --create --from Writer --to All --subject Created --orig 2:5020/1";
        for (int i = 0; i < 2; ++i) {
            const TRun run = Tool(post, "Body\n");
            ASSERT_EQ(run.Status, 0) << row.Kind << " " << row.Path << "\n" << run.Err;
            EXPECT_EQ(run.Out, std::to_string(row.Before + i) + "\n") << row.Kind << " " << row.Path;
        }
        const TRun dump =
            Tool(std::string("dump --kind ") + row.Kind + " '" + row.Path + "' --board 7 --headers");
        ASSERT_EQ(dump.Status, 0) << row.Kind << dump.Err;
        EXPECT_EQ(Lines(dump.Out).size(), static_cast<size_t>(row.Before + 2)) << row.Kind << " " << row.Path;
        if (std::string(row.Kind) == "jam")
            EXPECT_EQ(test::CheckJamBase(row.Path, row.Before == 0),
                      std::vector<std::string>{});  // the tosser's ToCRCs differ
        if (std::string(row.Kind) == "squish" && row.Before == 0)
            EXPECT_EQ(test::CheckSquishBase(row.Path), std::vector<std::string>{});
    }
}

TEST_F(ToolTest, MarkReadAndDeleteFindTheMessageByMsgId) {
    for (const std::string kind : {"msg", "squish", "jam", "hudson"}) {
        const std::string base = "'" + tmp_.File("act-" + kind) + "' --board 2";
        std::vector<std::string> msgids;
        for (int i = 0; i < 3; ++i) {
            ASSERT_EQ(Tool("post --kind " + kind + " " + base + " --create --from A --to B --subject S" +
                               std::to_string(i) + " --orig 2:5020/" + std::to_string(i + 1),
                           "Body\n")
                          .Status,
                      0)
                << kind;
        }
        auto dumped = test::ParseJsonLines(Tool("dump --kind " + kind + " " + base).Out);
        ASSERT_EQ(dumped.size(), 3u) << kind;
        for (const auto& message : dumped) msgids.push_back(message["msgid"].String);

        const auto act = [&](const std::string& verb, const std::string& msgid) {
            return Tool(verb + " --kind " + kind + " " + base + " --msgid '" + msgid + "'");
        };
        EXPECT_EQ(act("mark-read", msgids[1]).Status, 0) << kind << act("mark-read", msgids[1]).Err;
        EXPECT_EQ(act("mark-read", msgids[1]).Status, 0) << kind;  // already read
        const TRun deleted = act("delete", msgids[0]);
        EXPECT_EQ(deleted.Status, 0) << kind << deleted.Err;
        EXPECT_EQ(act("delete", msgids[0]).Status, 2) << kind;  // gone
        EXPECT_EQ(act("mark-read", "2:5020/9 12345678").Status, 2) << kind;
        EXPECT_EQ(Tool("delete --kind " + kind + " " + base).Status, 1) << kind;  // no --msgid

        dumped = test::ParseJsonLines(Tool("dump --kind " + kind + " " + base).Out);
        ASSERT_EQ(dumped.size(), 2u) << kind;
        EXPECT_EQ(dumped[0]["msgid"].String, msgids[1]) << kind;
        EXPECT_TRUE(dumped[0]["read"].Bool) << kind;
        EXPECT_EQ(dumped[1]["msgid"].String, msgids[2]) << kind;
        EXPECT_FALSE(dumped[1]["read"].Bool) << kind;
    }
}

TEST_F(ToolTest, DamagedMessagesDoNotStopTheDump) {
    const auto dir = test::CopyFixture("crashmail/bases/sugeneral", tmp_.Path());
    test::WriteFile(dir / "10.msg", std::string(50, '\x01'));
    test::WriteFile(dir / "junk.msg", "not a message");
    const TRun run = Tool("dump --kind msg '" + dir.string() + "'");
    EXPECT_EQ(run.Status, 0) << run.Err;
    const auto lines = Lines(run.Out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[2].find("\"position\": 2, \"from\": \"\""), std::string::npos);
}

TEST_F(ToolTest, ErrorsGoToStderrWithAFailingStatus) {
    const std::string area = Area("net");
    const struct {
        std::string Arguments;
        const char* Message;
    } rows[] = {
        {"dump --kind msg '" + tmp_.File("missing") + "'", "cannot open"},
        {"dump --kind zip " + area, "unknown --kind"},
        {"dump " + area, "--kind is required"},
        {"dump --kind hudson " + area, "--board"},
        {"dump --kind hudson " + area + " --board 201", "--board"},
        {"frobnicate --kind msg " + area, "unknown command"},
        {"post --kind msg " + area + " --from a --to b --subject c --orig 1:2/3 --dest 2:50x20/1",
         "bad address"},
        {"post --kind msg " + area + " --from a --to b --subject c --orig 1:2/3 --attr Hold",
         "unknown attribute"},
        {"post --kind msg " + area + " --from a --to b", "--subject is required"},
        {"post --kind msg " + area + " --from a --to b --subject c --orig 1:2/3 --file '" +
             tmp_.File("none.txt") + "'",
         "cannot read"},
        {"post --kind msg " + area + " --from a --to b --subject c", "--orig is required"},
        {"", "no command"},
    };
    for (const auto& row : rows) {
        const TRun run = Tool(row.Arguments, "body\n");
        EXPECT_EQ(run.Status, 1) << row.Arguments;
        EXPECT_NE(run.Err.find(row.Message), std::string::npos) << row.Arguments << "\n" << run.Err;
        EXPECT_EQ(run.Out, "") << row.Arguments;
    }
    EXPECT_TRUE(fs::is_empty(tmp_.Path() / "net"));  // nothing was written by a refused post
}

TEST_F(ToolTest, HudsonExportListWarningGoesToStderr) {
    const std::string hudson = tmp_.File("hudson");
    fs::create_directories(fs::path(hudson) / "echomail.bbs");  // the list cannot be written
    for (const std::string verb : {"post --create --from a", "send"}) {
        const TRun run = Tool(
            verb + " --kind hudson '" + hudson + "' --board 7 --to b --subject c --orig 2:5020/1", "body\n");
        EXPECT_EQ(run.Status, 0) << verb << "\n" << run.Err;  // the message is stored
        EXPECT_NE(run.Err.find("warning"), std::string::npos) << verb;
        EXPECT_NE(run.Err.find("echomail.bbs"), std::string::npos) << verb << "\n" << run.Err;
    }
}

TEST_F(ToolTest, VersionAndHelp) {
    EXPECT_EQ(Tool("--version").Out, std::string(PELMAR_VERSION_TEXT) + "\n");
    const std::string help = Tool("--help").Out;
    EXPECT_NE(help.find("pelmar-tool --version"), std::string::npos);
    const size_t send = help.find("pelmar-tool send");
    ASSERT_NE(send, std::string::npos);
    EXPECT_NE(help.find("read from stdin without --file", send), std::string::npos);
}

}  // namespace
}  // namespace pelmar

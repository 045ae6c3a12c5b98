// pelmar-tool send, uu decode and areas, run as a cron job would: a home of its own, areas named by
// tag, a file sent in parts and decoded again.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

struct TRun {
    int Status = 0;
    std::string Out;
    std::string Err;
};

class LetterVerbsTest : public ::testing::Test {
protected:
    TRun Tool(const std::string& arguments, const std::string& input = "") {
        const std::string errFile = tmp_.File("stderr.txt");
        test::WriteFile(tmp_.File("stdin.txt"), input);
        const std::string command = "PELMAR_HOME='" + home_.string() + "' XDG_RUNTIME_DIR='" +
                                    runtime_.string() + "' '" + test::ToolPath() + "' " + arguments + " 2>'" +
                                    errFile + "' <'" + tmp_.File("stdin.txt") + "'";
        TRun run;
        run.Status = test::RunCommand(command, &run.Out);
        run.Err = test::ReadFile(errFile);
        return run;
    }
    std::string Q(const fs::path& p) const { return "'" + p.string() + "'"; }

    void SetUp() override {
        home_ = tmp_.Path() / "home";
        runtime_ = tmp_.Path() / "run";
        fs::create_directories(home_);
        fs::create_directories(runtime_);
        fs::create_directories(tmp_.Path() / "local");
        ASSERT_EQ(Tool("areas add --name Echo --folder").Status, 0);
        ASSERT_EQ(Tool("areas add --name General --parent Echo --kind jam " + Q(tmp_.Path() / "general") +
                       " --tag SU.GENERAL --aka 2:5020/1")
                      .Status,
                  0);
        ASSERT_EQ(Tool("post --kind jam " + Q(tmp_.Path() / "general") +
                       " --create --from a --to b --subject c --orig 2:5020/1")
                      .Status,
                  0);
        ASSERT_EQ(Tool("areas add --name Local --kind msg " + Q(tmp_.Path() / "local") + " --tag LOCAL.TEST")
                      .Status,
                  0);
    }

    test::TempDir tmp_;
    fs::path home_, runtime_;
};

TEST_F(LetterVerbsTest, SendCrosspostsATemplateLetterWithAFileInParts) {
    std::string data(4000, '\0');
    std::mt19937 rng(1);
    for (char& c : data) c = static_cast<char>(rng());
    test::WriteFile(tmp_.Path() / "stats.bin", data);
    const TRun sent = Tool(
        "send --area su.general --area LOCAL.TEST --to 'Vasya Pupkin' --subject 'Статистика' "
        "--orig 2:5020/1 --attach " +
            Q(tmp_.Path() / "stats.bin") + " --lines 30",
        "Rules of the area\nsecond line\n");
    ASSERT_EQ(sent.Status, 0) << sent.Err;
    EXPECT_EQ(sent.Out, "6\n");

    const TRun dump = Tool("dump --kind msg " + Q(tmp_.Path() / "local"));
    ASSERT_EQ(dump.Status, 0) << dump.Err;
    for (const char* expected :
         {"\"subject\": \"Статистика [1/3]\"", "\"subject\": \"Статистика [3/3]\"",
          "*** послано также в SU.GENERAL\\n*** послано также в LOCAL.TEST\\n\\nПривет Vasya!\\n\\nRules of "
          "the "
          "area\\nsecond line\\nsection 1 of 3 of file stats.bin",
          "\"PID: Plm 1.0\", \"GIF: PELMAR\", \"CHRS: CP866 2\", \"TZUTC: ", "--- Пелмар 1.0",
          " * Origin: Per aspera ad astra (2:5020/1)", "\"msgid\": \"2:5020/1 "}) {
        EXPECT_NE(dump.Out.find(expected), std::string::npos) << expected;
    }

    const TRun list = Tool("areas list");
    ASSERT_EQ(list.Status, 0) << list.Err;
    EXPECT_NE(list.Out.find("\"entry\": \"Echo\\\\General\", \"kind\": \"jam\""), std::string::npos)
        << list.Out;
    EXPECT_NE(list.Out.find("\"tag\": \"LOCAL.TEST\", \"description\": \"\", \"aka\": \"\", \"netmail\": "
                            "false, \"messages\": 3"),
              std::string::npos)
        << list.Out;
    EXPECT_NE(list.Out.find("\"messages\": 4"), std::string::npos) << list.Out;  // 1 posted + 3 parts

    const fs::path out = tmp_.Path() / "out";
    const TRun decoded = Tool("uu decode --kind msg " + Q(tmp_.Path() / "local") + " --out " + Q(out));
    ASSERT_EQ(decoded.Status, 0) << decoded.Err;
    EXPECT_EQ(test::ReadFile(out / "stats.bin"), data);
    // A second run does not overwrite what the first saved.
    ASSERT_EQ(Tool("uu decode --kind jam " + Q(tmp_.Path() / "general") + " --out " + Q(out)).Status, 0);
    EXPECT_EQ(test::ReadFile(out / "stats.bin.1"), data);
}

TEST_F(LetterVerbsTest, ErrorsAndExitCodes) {
    struct Row {
        const char* arguments;
        int status;
        const char* message;
    };
    const Row rows[] = {
        {"send --area NO.SUCH --to a --subject b --orig 2:5020/1", 1, "no area with the tag NO.SUCH"},
        {"send --to a --subject b --orig 2:5020/1", 1, "either --area TAG or --kind"},
        {"send --area LOCAL.TEST --to a --subject b", 1, "--orig is required"},
        {"send --area LOCAL.TEST --to a --subject b --orig 2:5020/1 --attach /no/such/file", 1,
         "/no/such/file"},
        {"send --area LOCAL.TEST --to a --subject b --orig 2:5020/1 --profile Nobody", 1, "no profile named"},
        {"areas add --name Echo --folder", 1, "already holds"},
        {"areas add --name X --parent Nowhere --folder", 1, "no folder"},
        {"areas frobnicate", 1, "unknown command"},
        {"uu decode --kind msg /no/such/base --out /tmp", 1, "cannot open"},
    };
    for (const Row& r : rows) {
        const TRun run = Tool(r.arguments);
        EXPECT_EQ(run.Status, r.status) << r.arguments;
        EXPECT_NE(run.Err.find(r.message), std::string::npos) << r.arguments << "\n" << run.Err;
    }
    const TRun dump = Tool("dump --kind msg " + Q(tmp_.Path() / "local"));
    EXPECT_TRUE(dump.Out.empty()) << "a refused send wrote something";
}

TEST_F(LetterVerbsTest, AreasAddStoresARelativeBasePathAbsolute) {
    ASSERT_EQ(Tool("areas add --name Rel --kind jam ../rel/./base --tag REL").Status, 0);
    const std::string expected = (fs::current_path().parent_path() / "rel" / "base").string();
    const TRun list = Tool("areas list");
    EXPECT_NE(list.Out.find("\"path\": \"" + expected + "\""), std::string::npos) << list.Out;
}

TEST_F(LetterVerbsTest, AreasListSaysWhyABaseDoesNotOpen) {
    // A JAM base whose header file is not one, one whose index went away, a folder never made, and a
    // base nobody may read.
    const fs::path bases = tmp_.Path() / "bases";
    fs::create_directories(bases / "locked-out");
    test::WriteFile(bases / "junk.jhr", "not a JAM header at all");
    test::WriteFile(bases / "junk.jdt", "");
    test::WriteFile(bases / "junk.jdx", "");
    test::WriteFile(bases / "noidx.jhr", "");
    test::WriteFile(bases / "noidx.jdt", "");
    fs::permissions(bases / "locked-out", fs::perms::none);
    struct TRow {
        const char* name;
        std::string arguments;
        const char* reason;
    };
    const TRow rows[] = {
        {"Junk", "--kind jam " + Q(bases / "junk"), "damaged"},
        {"NoIdx", "--kind jam " + Q(bases / "noidx"), "missing"},
        {"Never", "--kind msg " + Q(bases / "never"), "missing"},
        {"Shut", "--kind msg " + Q(bases / "locked-out"), "no-permission"},
    };
    for (const TRow& row : rows)
        ASSERT_EQ(Tool(std::string("areas add --name ") + row.name + " " + row.arguments + " --description " +
                       Q("Много строк"))
                      .Status,
                  0);
    const TRun list = Tool("areas list");
    fs::permissions(bases / "locked-out", fs::perms::owner_all);
    ASSERT_EQ(list.Status, 0) << list.Err;
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.name);
        const size_t line = list.Out.find(std::string("\"entry\": \"") + row.name + "\"");
        ASSERT_NE(line, std::string::npos) << list.Out;
        const std::string text = list.Out.substr(line, list.Out.find('\n', line) - line);
        EXPECT_NE(text.find("\"description\": \"Много строк\""), std::string::npos) << text;
        // Root reads every folder: the permission row cannot fail for it.
        if (std::string(row.reason) == "no-permission" && ::geteuid() == 0) continue;
        EXPECT_NE(text.find(std::string("\"error\": true, \"reason\": \"") + row.reason + "\""),
                  std::string::npos)
            << text;
    }
}

TEST_F(LetterVerbsTest, SendReportsABaseThatDoesNotOpen) {
    ASSERT_EQ(Tool("areas add --name Gone --kind jam " + Q(tmp_.Path() / "gone") + " --tag GONE").Status, 0);
    const TRun run = Tool("send --area GONE --area LOCAL.TEST --to a --subject b --orig 2:5020/1", "x\n");
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("not written"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Out, "1\n");
}

TEST_F(LetterVerbsTest, SendTellsTheTosserAndRunsTheCommandAfterSending) {
    struct TRow {
        const char* Command;
        int Status;
        const char* Err;
    };
    const TRow rows[] = {{"echo scanned", 0, ""},
                         {"echo outbound locked; exit 5", 4, "завершилась с кодом 5"}};
    for (const TRow& row : rows) {
        SCOPED_TRACE(row.Command);
        // The settings as Pelmar stores them: echotoss.log and the command after sending.
        std::string reg = test::ReadFile(home_ / "registry.reg");
        reg +=
            "\n[HKEY_CURRENT_USER\\Software\\Quorvant\\Pelmar Editor\\1.0\\Settings]\n"
            "\"EchoTossLog\"=\"" +
            tmp_.File("echotoss.log") +
            "\"\n"
            "\"AfterSendCommand\"=\"" +
            row.Command + "\"\n";
        test::WriteFile(home_ / "registry.reg", reg);
        const TRun run =
            Tool("send --area su.general --area LOCAL.TEST --to a --subject b --orig 2:5020/1", "x\n");
        EXPECT_EQ(run.Status, row.Status) << run.Err;
        EXPECT_EQ(run.Out, "2\n");
        if (*row.Err != '\0') EXPECT_NE(run.Err.find(row.Err), std::string::npos) << run.Err;
        EXPECT_EQ(test::ReadFile(tmp_.File("echotoss.log")), "SU.GENERAL\nLOCAL.TEST\n");
    }
    // One run per send, each in the log.
    const std::string log = test::ReadFile(home_ / "aftersend.log");
    EXPECT_NE(log.find("scanned\n=== завершилась с кодом 0"), std::string::npos) << log;
    EXPECT_NE(log.find("outbound locked\n=== завершилась с кодом 5"), std::string::npos) << log;
}

TEST_F(LetterVerbsTest, AreasAddIsRefusedWhilePelmarRunsWithTheHome) {
    if (test::RunCommand("command -v python3 >/dev/null && command -v sha1sum >/dev/null") != 0) {
        GTEST_SKIP() << "python3 and sha1sum are needed to stand in for a running Pelmar";
    }
    std::string uid, hash;
    test::RunCommand("id -u", &uid);
    test::RunCommand("printf %s '" + home_.string() + "' | sha1sum | cut -c1-12", &hash);
    uid.pop_back();
    hash.pop_back();
    const fs::path socket = runtime_ / ("pelmar-" + uid + "-" + hash + ".socket");
    const std::string server =
        "python3 -c \"import socket,time,sys; s=socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); "
        "s.listen(5); print('up', flush=True); time.sleep(20)\" '" +
        socket.string() + "' >/dev/null 2>&1 </dev/null & echo $! > '" + tmp_.File("pid") + "'";
    test::RunCommand(server);
    for (int i = 0; i < 100 && !fs::exists(socket); ++i) test::RunCommand("sleep 0.05");
    test::RunCommand("sleep 0.2");  // from bind to listen
    const TRun refused = Tool("areas add --name New --folder");
    test::RunCommand("kill $(cat '" + tmp_.File("pid") + "') 2>/dev/null");
    EXPECT_EQ(refused.Status, 1);
    EXPECT_NE(refused.Err.find("Pelmar is running"), std::string::npos) << refused.Err;
    fs::remove(socket);
    EXPECT_EQ(Tool("areas add --name New --folder").Status, 0);
}

}  // namespace
}  // namespace pelmar

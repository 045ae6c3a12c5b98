// pelmar-tool nodelist: compiling with given or profile lists, and what find prints.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/Settings.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

class NodelistToolTest : public ::testing::Test {
protected:
    struct TRun {
        int Status = 0;
        std::string Out;
        std::string Err;
    };
    TRun Tool(const std::string& arguments) {
        const std::string err = lists_.File("stderr.txt");
        TRun run;
        run.Status = test::RunCommand("'" + test::ToolPath() + "' nodelist " + arguments + " 2>'" + err + "'",
                                      &run.Out);
        run.Err = test::ReadFile(err);
        return run;
    }
    std::string Put(const std::string& name, const std::string& text) {
        test::WriteFile(lists_.Path() / name, text);
        return lists_.File(name);
    }
    std::string Data() const { return "--data '" + lists_.File("data") + "'"; }

    test::ScopedHome home_;
    test::TempDir lists_;
};

TEST_F(NodelistToolTest, CompileAndFindByNameAndAddress) {
    const std::string net = Put("net.123",
                                "Zone,2\nHost,5020,N,M,H,-,300\n,1,Big_Box,Moscow,Ivan_Petrov,7-1,300,CM\n"
                                "Hub,2,Hub_Box,Tver,Ivan_Petrov,7-2,300,XA,TAB\n");
    const std::string pnt =
        Put("pnt.123", "Boss,2:5020/1\r\n,7,Home,Moscow,Olga_Orlova,-Unpublished-,300\r\n");
    TRun run = Tool("compile " + Data() + " '" + net + "' '" + pnt + "'");
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("\"records\": 3"), std::string::npos) << run.Out;

    const struct {
        const char* query;
        int status;
        const char* expected;  // a fragment of the first line
    } rows[] = {
        {"'ivan petrov'", 0,
         "\"address\": \"2:5020/2\", \"name\": \"Ivan Petrov\", \"station\": \"Hub Box\""},
        {"'Olga Orlova'", 0, "\"address\": \"2:5020/1.7\""},
        {"'2:5020/1.*'", 0, "\"name\": \"Ivan Petrov\", \"station\": \"Big Box\", \"location\": \"Moscow\""},
        {"2:5020/1.7", 0, "\"phone\": \"-Unpublished-\""},
        {"Nobody", 2, ""},
        {"2:5020/99", 2, ""},
        {"5020/x", 1, ""},
    };
    for (const auto& row : rows) {
        run = Tool("find " + Data() + " " + row.query);
        EXPECT_EQ(run.Status, row.status) << row.query << run.Err;
        EXPECT_NE(run.Out.find(row.expected), std::string::npos) << row.query << ": " << run.Out;
    }
    run = Tool("find " + Data() + " '2:5020/*'");
    EXPECT_EQ(std::count(run.Out.begin(), run.Out.end(), '\n'), 2);  // the point is not a node

    // A list named relative to the tool's folder is recorded by its absolute path.
    run.Status = test::RunCommand("cd '" + lists_.Path().string() + "' && '" + test::ToolPath() +
                                      "' nodelist compile " + Data() + " net.123",
                                  &run.Out);
    ASSERT_EQ(run.Status, 0);
    EXPECT_NE(run.Out.find("\"files\": [\"" + net + "\"]"), std::string::npos) << run.Out;
}

TEST_F(NodelistToolTest, TheProfileGivesListsAndFolder) {
    Settings.NodeListFiles = {Put("net.001", "Zone,2\r\nHost,5020\r\n,1,S,L,Anna_Orlova,-,300\r\n")};
    Settings.DataFolder = lists_.File("profile-data");
    ASSERT_TRUE(SaveSettings());
    TRun run = Tool("compile");
    ASSERT_EQ(run.Status, 0) << run.Err;
    run = Tool("find 'Anna Orlova'");
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("2:5020/1"), std::string::npos);

    // A damaged index is reported, and a compile that fails keeps the one there is.
    run = Tool("compile '" + lists_.File("profile-data") + "'");
    EXPECT_EQ(run.Status, 1);
    EXPECT_FALSE(run.Err.empty());
    EXPECT_EQ(Tool("find 'Anna Orlova'").Status, 0);
    test::WriteFile(lists_.Path() / "profile-data" / "nodelist.plm", "junk");
    run = Tool("find 'Anna Orlova'");
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("nodelist.plm"), std::string::npos) << run.Err;

    EXPECT_EQ(Tool("frobnicate").Status, 1);
    EXPECT_EQ(Tool("find").Status, 1);
}

}  // namespace
}  // namespace pelmar

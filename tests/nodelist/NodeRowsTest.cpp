#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "Generate.h"
#include "nodelist/NodeList.h"
#include "nodelist/NodeRows.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

TEST(NodeRows, WorkingHoursFromTheFlags) {
    const struct {
        const char* line;
        int offset;
        const char* hours;
    } rows[] = {
        {",1,S,L,N,-,300,CM,XA,TAb", 3, "CM"},
        {",1,S,L,N,-,300,XA,CM", 0, "CM"},  // CM as the last flag
        {",1,S,L,N,-,300,CMX,XA", 0, ""},
        {",1,S,L,N,-,300,XA,TAb", 3, " 3:00- 4:30"},
        {",1,S,L,N,-,300,TAb,XA", 3, " 3:00- 4:30"},
        {",1,S,L,N,-,300,XA,TAbc", 3, ""},
        {",1,S,L,N,-,300,XA,TAB", -5, "19:00-20:00"},
        {",1,S,L,N,-,300,XA,TxX", 1, " 0:30- 0:00"},
        {",1,S,L,N,-,300,XA,TAY", 0, ""},
        {",1,S,L,N,-,300,XA,TA", 0, ""},
        {",1,S,L,N,-,300,XA,T", 0, ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(TNodeRows::WorkingHours(row.line, row.offset), row.hours) << row.line;
}

struct RowsFixture {
    test::TempDir dir;
    TNodeList list{dir.Path().string() + "/"};
    std::string Put(const std::string& name, const std::string& bytes) {
        test::WriteFile(dir.Path() / name, bytes);
        return dir.File(name);
    }
};

TEST(NodeRows, ColumnsComeFromTheOwnLineWhateverTheLineEnds) {
    for (const std::string eol : {"\r\n", "\n", "\r"}) {
        RowsFixture f;
        // The last line has no line end, only the end-of-file mark.
        const std::string path = f.Put("net", "Zone,2" + eol + "Host,5020" + eol +
                                                  ",1,Big_Station,Moscow,Ivan_Petrov,7-095-1,33600,CM" + eol +
                                                  ",2,Small,Tver,Anna_Orlova,7-082-2,300,TAB\x1a");
        f.list.Compile({path});
        TNodeRows rows(f.list, 0);
        rows.Fill(0, 49);  // more rows than records: the existing ones are still read
        ASSERT_EQ(rows.CacheSize(), 2);
        const std::vector<std::string> anna = {"2:5020/2", "Anna Orlova", "Small", "Tver",
                                               "7-082-2",  " 0:00- 1:00", path};
        const std::vector<std::string> ivan = {"2:5020/1", "Ivan Petrov", "Big Station", "Moscow",
                                               "7-095-1",  "CM",          path};
        for (int c = 0; c < TNodeRows::kColumns; ++c) {
            EXPECT_EQ(rows.Text(0, c), anna[c]);
            EXPECT_EQ(rows.Text(1, c), ivan[c]);
        }
        EXPECT_EQ(rows.Text(2, 0), "-=unknown=-");
        rows.Fill(1, 1);
        EXPECT_EQ(rows.Text(0, 0), "-=unknown=-");

        // The source moved away: the line columns are blank, the record's own ones stay.
        std::filesystem::rename(path, path + ".old");
        rows.Fill(0, 1);
        EXPECT_EQ(rows.Text(1, 1), "Ivan Petrov");
        for (int c = 2; c <= 5; ++c) EXPECT_EQ(rows.Text(1, c), " ");
    }
}

TEST(NodeRows, OverlongLinesDoNotShiftTheLinesAfterThem) {
    for (const std::string eol : {"\r\n", "\n"}) {
        RowsFixture f;
        const std::string junk(300000, 'x');
        const std::string path = f.Put("net", "Zone,2" + eol + ",1,Long,Far,Long_Liner," + junk + eol +
                                                  ",2,Next_Box,Omsk,Olga_Orlova,7-3,300" + eol + junk);
        f.list.Compile({path});
        ASSERT_EQ(f.list.RecordCount(), 2);
        TNodeRows rows(f.list, 0);
        rows.Fill(0, 1);
        EXPECT_EQ(rows.Text(0, 1), "Long Liner");
        EXPECT_EQ(rows.Text(1, 1), "Olga Orlova");
        EXPECT_EQ(rows.Text(1, 2), "Next Box");
        EXPECT_EQ(rows.Text(1, 4), "7-3");
    }
    // A CR LF split between two reads of the file (81920 bytes each).
    RowsFixture f;
    const std::string comment = ";" + std::string(81918, 'c');
    const std::string path = f.Put("net", comment + "\r\n,2,Next_Box,Omsk,Olga_Orlova,7-3,300\r\n");
    f.list.Compile({path});
    TNodeRecord record;
    ASSERT_TRUE(f.list.Seek(0) && f.list.ReadRecord(record));
    EXPECT_EQ(record.Entry.LineOffset, 81921);
    EXPECT_EQ(f.list.RecordCount(), 1);  // the LF is no empty line of its own
}

TEST(NodeRows, DamagedRecordsShowBlanks) {
    RowsFixture f;
    const std::string path = f.Put("net", "Zone,2\r\n,1,S,L,Ivan_Petrov,7-1,300\r\n");
    f.list.Compile({path});
    // File index and line offset out of range.
    std::string index = test::ReadFile(f.list.IndexPath());
    const size_t record = index.size() - 52;
    index.replace(record + 48, 4, std::string("\x07\x00\x00\x00", 4));
    index.replace(record + 44, 4, std::string("\xff\xff\xff\x7f", 4));
    test::WriteFile(f.list.IndexPath(), index);
    ASSERT_TRUE(f.list.Open());
    TNodeRows rows(f.list, 0);
    rows.Fill(0, 0);
    EXPECT_EQ(rows.Text(0, 1), "Ivan Petrov");
    EXPECT_EQ(rows.Text(0, 2), " ");
    EXPECT_EQ(rows.Text(0, 6), "");
}

// crashmail's nodelist index must agree with ours on every node we index and on the points listed in
// the nodelist itself (its reader places the points of a Boss pointlist under no node at all).
TEST(NodeRows, AgreeWithCrashGetNode) {
    if (test::RunCommand("command -v crashlist >/dev/null && command -v crashgetnode >/dev/null") != 0)
        GTEST_SKIP() << "crashmail's nodelist tools are not installed";
    RowsFixture f;
    const auto lists = test::GenerateLists(1500, 300, "\r\n", 3);
    const std::string nodes = f.Put("nodelist.123", lists.Nodelist);
    const std::string points = f.Put("points.123", lists.Pointlist);
    f.Put("cmnodelist.prefs", "nodelist.123\npoints.123\n");
    ASSERT_EQ(test::RunCommand("cd '" + f.dir.Path().string() + "' && crashlist . >/dev/null"), 0);
    f.list.Compile({nodes, points});

    TNodeRows rows(f.list, 0);
    rows.Fill(0, f.list.RecordCount() - 1);
    std::map<std::string, const TNodeRow*> ours;
    std::string script = "cd '" + f.dir.Path().string() + "'";
    for (int i = 0; i < rows.CacheSize(); ++i) {
        const TNodeRow* row = rows.Cached(i);
        ASSERT_NE(row, nullptr);
        if (row->File != nodes) continue;
        ours[row->Address] = row;
        script += "; echo '@@ " + row->Address + "'; crashgetnode " + row->Address + " .";
    }
    ASSERT_GT(ours.size(), 1400u);
    std::string out;
    test::RunCommand(script, &out);

    std::istringstream in(out);
    std::string line, address;
    std::map<std::string, std::map<std::string, std::string>> theirs;
    while (std::getline(in, line)) {
        if (line.rfind("@@ ", 0) == 0) {
            address = line.substr(3);
            continue;
        }
        const size_t colon = line.find(": ");
        if (colon != std::string::npos) theirs[address][line.substr(0, colon)] = line.substr(colon + 2);
    }
    auto blanks = [](std::string s) {
        for (auto& c : s)
            if (c == '_') c = ' ';
        return s;
    };
    for (const auto& [addr, row] : ours) {
        SCOPED_TRACE(addr);
        ASSERT_EQ(theirs.count(addr), 1u);
        auto& peer = theirs[addr];
        EXPECT_EQ(row->Name, blanks(peer["Sysop"]).substr(0, 35));
        EXPECT_EQ(row->Station, blanks(peer["Name"]));
        EXPECT_EQ(row->Location, blanks(peer["Location"]));
        EXPECT_EQ(row->Phone, blanks(peer["Phone"]));
    }
}

}  // namespace
}  // namespace pelmar

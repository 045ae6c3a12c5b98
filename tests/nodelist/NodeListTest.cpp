#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "Generate.h"
#include "core/Address.h"
#include "nodelist/NodeList.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

using test::TempDir;
using Addresses = std::vector<std::string>;

std::string Lines(const std::vector<std::string>& lines, const std::string& eol) {
    std::string text;
    for (const auto& line : lines) text += line + eol;
    return text;
}

struct Fixture {
    TempDir dir;
    TNodeList list{dir.Path().string() + "/"};

    std::string Put(const std::string& name, const std::string& bytes) {
        test::WriteFile(dir.Path() / name, bytes);
        return dir.File(name);
    }
    Addresses Find(const std::string& name) {
        Addresses out{"stale"};
        list.FindAddressesByName(name, out);
        return out;
    }
};

const std::vector<std::string> kNodelist = {
    ";A Nodelist for Friday",
    "Zone,2,Europe,Zurich,Zone_Coord,-Unpublished-,300,CM",
    "Host,5020,Moscow_Net,Moscow,Host_Sysop,7-095-1,33600,CM",
    ",120,Station,Moscow,Ivan_Petrov,7-095-2,33600,XA,TAb",
    "Hub,100,Hub_Station,Moscow,Ivan_Petrov,7-095-3,33600,CM",
    "Pvt,7,Hidden,Moscow,Hidden_Person,-Unpublished-,300",
    "Down,8,Gone,Moscow,Gone_Person,7-095-4,300",
    "Point,1,Gone_Point,Moscow,Point_Of_Down,-Unpublished-,300",
    "Pvt,10,Hidden2,Moscow,Hidden_Person2,-Unpublished-,300",
    "Point,1,Private_Point,Moscow,Point_Of_Pvt,-Unpublished-,300",
    "Hold,9,Held,Moscow,Petr_Ivanov,7-095-5,300",
    "Point,3,Point_Station,Moscow,Point_Of_Hold,-Unpublished-,300",
    "Region,50,Region_50,Somewhere,Reg_Coord,7-1,300",
    ",1,Regional,Somewhere,Reg_Node,7-2,300",
};

TEST(NodeListCompile, KeywordsGiveTheEntriesOfTheirNetAndBoss) {
    for (const std::string eol : {"\r\n", "\n"}) {
        SCOPED_TRACE(eol == "\n" ? "LF" : "CRLF");
        Fixture f;
        const std::string nodes = f.Put("net.001", Lines(kNodelist, eol) + "\x1a");
        const std::string points =
            f.Put("points.001", Lines({"Boss,2:5020/120", "Point,5,P,Moscow,Petr_Sidorov,-,300",
                                       ",6,P,Moscow,Olga_Orlova,-,300", "Pvt,7,P,M,Nobody,-,300"},
                                      eol));
        const std::string noZone = f.Put("region.001", Lines({",12,S,Kiev,Taras_Koval,-,300"}, eol));
        f.list.Compile({nodes, points, noZone, f.dir.File("missing.001")});
        ASSERT_TRUE(f.list.IsOpen());

        const struct {
            const char* name;
            Addresses addresses;
        } rows[] = {
            {"Ivan Petrov", {"2:5020/100", "2:5020/120"}},  // the one read last comes first
            {"ivan petrov", {"2:5020/100", "2:5020/120"}},
            {"Petr Sidorov", {"2:5020/120.5"}},
            {"Olga Orlova", {"2:5020/120.6"}},  // a plain line after "Boss" is a point
            {"Point Of Hold", {"2:5020/9.3"}},  // "Point" after a node line is that node's
            {"Point Of Pvt", {"2:5020/10.1"}},
            {"Point Of Down", {}},        // a down node's points cannot be reached either
            {"Reg Node", {"2:50/1"}},     // a region's own nodes are in the region's net
            {"Taras Koval", {"2:0/12"}},  // no "Zone" line: zone 2
            {"Hidden Person", {}},
            {"Gone Person", {}},
            {"Nobody", {}},
            {"Host Sysop", {}},
            {"Ivan Petrov2", {}},
            {"I", {}},
        };
        for (const auto& row : rows) EXPECT_EQ(f.Find(row.name), row.addresses) << row.name;
        EXPECT_EQ(f.list.RecordCount(), 9);

        // Line offsets point at the entry's own line in its file.
        TNodeRecord record;
        ASSERT_TRUE(f.list.Seek(f.list.FirstIndexForPrefix("Petr Sidorov")));
        ASSERT_TRUE(f.list.ReadRecord(record));
        EXPECT_EQ(record.Name, "Petr Sidorov");
        EXPECT_EQ(record.Entry.FileIndex, 1);
        EXPECT_EQ(record.Entry.LineOffset,
                  static_cast<int>(std::string("Boss,2:5020/120").size() + eol.size()));
        ASSERT_EQ(f.list.SourceFiles().size(), 4u);
        EXPECT_EQ(f.list.SourceFiles()[3].Info.FileSize, 0);
    }
}

TEST(NodeListCompile, LongNamesAreStoredCutAndFoundWhole) {
    Fixture f;
    const std::string longName = "Alexander_Konstantinovich_Rozhdestvensky";  // 40 characters
    f.list.Compile({f.Put("net", Lines({"Zone,2", "Host,5020", ",1,S,L," + longName + ",-,300",
                                        ",2,S,L,Alexander_Konstantinovich_Rozhdestvensky_Jr,-,300"},
                                       "\r\n"))});
    TNodeRecord record;
    ASSERT_TRUE(f.list.Seek(0));
    ASSERT_TRUE(f.list.ReadRecord(record));
    EXPECT_EQ(record.Name.size(), 35u);
    // Both names share their stored 35 characters: the query finds both, in the order of the whole names.
    EXPECT_EQ(f.Find("Alexander Konstantinovich Rozhdestvensky"), (Addresses{"2:5020/1", "2:5020/2"}));
    EXPECT_EQ(f.list.FirstIndexForPrefix("Alexander Konstantinovich Rozhdestvensky"), 0);
}

TEST(NodeListLookup, PrefixAndNextFollowTheNameOrder) {
    Fixture f;
    f.list.Compile({f.Put(
        "net", Lines({"Zone,2", "Host,5020", ",1,S,L,Aaron_A,-,300", ",2,S,L,Sam_Smith,-,300",
                      ",3,S,L,Sally_Smith,-,300", ",4,S,L,Smith_Bob,-,300", ",5,S,L,smirnov_Petr,-,300",
                      ",6,S,L,Petr_Smirnov,-,300", ",7,S,L,.Dot_Name,-,300", "Host,5030",
                      ",8,S,L,Petrovich,-,300", "Boss,2:5020/6", ",1,S,L,Petr_Point,-,300"},
                     "\n"))});
    // Order: .Dot Name, Aaron A, Petr Point, Petr Smirnov, Petrovich, Sally Smith, Sam Smith, smirnov Petr,
    // Smith Bob.
    const struct {
        const char* text;
        int index;
    } prefixes[] = {{"", 0},     {"S", 5},   {"s", 5},     {"Sm", 7}, {"SMI", 7}, {"Smit", 8},
                    {"Sa", 5},   {"Sam", 6}, {"Pe", 2},    {"Q", 0},  {"Zz", 0},  {"Smz", 0},
                    {".Dot", 0}, {"1", 0},   {"Petro", 4}, {"A", 1}};
    for (const auto& row : prefixes) EXPECT_EQ(f.list.FirstIndexForPrefix(row.text), row.index) << row.text;

    const struct {
        const char* part;
        const char* mask;
        int start;
        int found;
    } searches[] = {
        {"Petr", "2:5020/*", 0, 3},  // nodes of 5020 only: not the point, not 5030
        {"Petr", "2:5020/*", 4, 7},
        {"Petr", "2:5020/*", 8, -1},
        {"Petr", "", 0, 2},
        {"petr", "", 0, -1},  // case matters
        {"", "2:5030/8", 0, 4},
        {"", "2:5020/6.*", 3, 3},
        {"", "2:5020/6.*", 4, -1},
        {"", "*:*/*.*", 9, -1},
        {"", "", -5, 0},
    };
    for (const auto& row : searches)
        EXPECT_EQ(f.list.FindNext(row.part, row.mask, row.start), row.found) << row.part << " " << row.mask;
}

TEST(NodeListLookup, WholeAddressFindsWhatTheScanFinds) {
    Fixture f;
    const std::string net =
        f.Put("net", Lines({"Zone,2", "Host,5020", ",1,S,L,Ivan_Petrov,-,300", ",2,S,L,Anna_Orlova,-,300",
                            "Boss,2:5020/1", ",1,S,L,Ivan_Petrov,-,300"},
                           "\n"));
    const std::string segment =
        f.Put("seg", Lines({"Zone,2", "Host,5020", ",2,S,L,Boris_Orlov,-,300"}, "\n"));
    f.list.Compile({net, segment});
    // Order: Anna Orlova 2/2, Boris Orlov 2/2, Ivan Petrov 1.1 and 1 (read last first).
    const struct {
        const char* part;
        const char* mask;
        int start;
        int found;
    } searches[] = {
        {"", "2:5020/2", 0, 0},      {"", "2:5020/2", 1, 1},  {"", "2:5020/2", 2, -1},
        {"Boris", "2:5020/2", 0, 1}, {"", "2:5020/1", 0, 3},  {"", "2:5020/1.1", 0, 2},
        {"", "2:5020/1.0", 4, -1},   {"", "2:5020/3", 0, -1}, {"", "2:5020/1.*", 0, 2},
    };
    for (const auto& row : searches)
        EXPECT_EQ(f.list.FindNext(row.part, row.mask, row.start), row.found) << row.part << " " << row.mask;
    // A new compile drops what the previous index knew.
    f.list.Compile({f.Put("net", Lines({"Zone,2", "Host,5020", ",3,S,L,Ivan_Petrov,-,300"}, "\n"))});
    EXPECT_EQ(f.list.FindNext("", "2:5020/3", 0), 0);
    EXPECT_EQ(f.list.FindNext("", "2:5020/2", 0), -1);
}

TEST(NodeListLookup, EveryGeneratedNameIsFoundByBothLookups) {
    Fixture f;
    const auto lists = test::GenerateLists(15000, 5000, "\n", 7);
    f.list.Compile({f.Put("net", lists.Nodelist), f.Put("pnt", lists.Pointlist)});
    ASSERT_EQ(f.list.RecordCount(), static_cast<int>(lists.Indexed.size()));
    ASSERT_GE(lists.Indexed.size(), 18000u);
    std::vector<std::string> names;
    TNodeRecord record;
    ASSERT_TRUE(f.list.Seek(0));
    while (f.list.ReadRecord(record)) names.push_back(record.Name);
    int checked = 0;
    int scanned = 0;
    for (const auto& node : lists.Indexed) {
        const bool letters = std::isalpha(static_cast<unsigned char>(node.Name[0])) &&
                             std::isalpha(static_cast<unsigned char>(node.Name[1]));
        if (!letters) {
            // Only the scan finds names that do not start with two letters (a few of them: each is a
            // whole scan).
            if (++scanned <= 100)
                ASSERT_GE(f.list.FindNext(node.Name.substr(0, 35), node.Address, 0), 0) << node.Name;
            continue;
        }
        Addresses found;
        f.list.FindAddressesByName(node.Name, found);
        ASSERT_EQ(found, Addresses{node.Address}) << node.Name;
        const int first = f.list.FirstIndexForPrefix(node.Name);
        ASSERT_EQ(CompareNodeNames(names.at(first), node.Name.substr(0, 35)), 0) << node.Name;
        ++checked;
    }
    EXPECT_GE(checked, 15000);
    EXPECT_GE(scanned, 100);
}

TEST(NodeListOpen, DamagedIndexCountsAsAbsent) {
    Fixture f;
    const std::string source =
        f.Put("net",
              Lines({"Zone,2", "Host,5020", ",1,S,L,Ivan_Petrov,-,300", ",2,S,L,Anna_Orlova,-,300"}, "\r\n"));
    f.list.Compile({source});
    const std::string good = test::ReadFile(f.list.IndexPath());
    // Every truncation either reads whole records or is refused; never a crash or a wild read.
    for (size_t cut = 0; cut < good.size(); ++cut) {
        // A new file each time: truncating one in place makes the file system flush it.
        std::filesystem::remove(f.list.IndexPath());
        test::WriteFile(f.list.IndexPath(), good.substr(0, cut));
        const bool opened = f.list.Open();
        // Cutting records leaves name slots pointing past the end: that is damage too.
        EXPECT_FALSE(opened) << cut;
        {
            EXPECT_TRUE(f.list.IsOutdated({source}));
            EXPECT_EQ(f.Find("Ivan Petrov"), Addresses{});
            EXPECT_EQ(f.list.FindNext("", "", 0), -1);
            EXPECT_FALSE(f.list.OpenProblem().empty());
        }
    }
    // Huge counts and lengths, a name index pointing past the records.
    const struct {
        size_t offset;
        std::string bytes;
    } damage[] = {{0, std::string("\xff\xff\xff\x7f", 4)},
                  {0, std::string("\xff\xff\xff\xff", 4)},
                  {4, std::string("\xff\xff\xff\x7f", 4)},
                  {4, std::string("\xf0\xff\xff\xff", 4)},
                  {4 + 4 + source.size() + 12, std::string("\x10\x00\x00\x00", 4)}};
    for (const auto& row : damage) {
        std::string bad = good;
        bad.replace(row.offset, row.bytes.size(), row.bytes);
        test::WriteFile(f.list.IndexPath(), bad);
        EXPECT_FALSE(f.list.Open()) << row.offset;
    }
    // The next compile replaces the damaged file.
    f.list.Compile({source});
    EXPECT_EQ(f.Find("Anna Orlova"), Addresses{"2:5020/2"});
}

TEST(NodeListCompile, FailureKeepsTheOldIndex) {
    Fixture f;
    const std::string source = f.Put("net", Lines({"Zone,2", "Host,5020", ",1,S,L,Ivan_Petrov,-,300"}, "\n"));
    f.list.Compile({source});
    const std::string before = test::ReadFile(f.list.IndexPath());
    std::filesystem::create_directory(f.dir.Path() / "folder");

    // Sources that cannot be read (a folder, a named pipe that must not hang the compile), and an index
    // folder that cannot be written.
    EXPECT_THROW(f.list.Compile({source, f.dir.File("folder")}), ENodeListError);
    ASSERT_EQ(::mkfifo(f.dir.File("pipe").c_str(), 0600), 0);
    EXPECT_THROW(f.list.Compile({f.dir.File("pipe")}), ENodeListError);
    EXPECT_EQ(f.Find("Ivan Petrov"), Addresses{"2:5020/1"});
    if (::geteuid() != 0) {
        std::filesystem::permissions(f.dir.Path(),
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        EXPECT_THROW(f.list.Compile({source}), ENodeListError);
        std::filesystem::permissions(f.dir.Path(), std::filesystem::perms::owner_all);
        EXPECT_EQ(f.Find("Ivan Petrov"), Addresses{"2:5020/1"});
    }
    EXPECT_EQ(test::ReadFile(f.list.IndexPath()), before);
    for (const auto& entry : std::filesystem::directory_iterator(f.dir.Path()))
        EXPECT_EQ(entry.path().filename().string().find("nodelist.plm."), std::string::npos);
}

TEST(NodeListCompile, IsOutdatedFollowsTheSourceFiles) {
    Fixture f;
    const std::string a = f.Put("a.001", "Zone,2\r\n,1,S,L,A_B,-,300\r\n");
    const std::string b = f.Put("b.001", "Zone,2\r\n");
    const std::string gone = f.dir.File("gone.001");
    EXPECT_TRUE(f.list.IsOutdated({a}));  // nothing compiled yet
    f.list.Compile({a, b, gone});
    EXPECT_TRUE(TNodeList(f.dir.Path().string() + "/").IsOutdated({a, b}));  // nothing opened
    EXPECT_TRUE(f.list.IsOutdated({a, b, gone}));                            // a missing file stays a change
    f.list.Compile({a, b});
    EXPECT_FALSE(f.list.IsOutdated({a, b}));
    EXPECT_FALSE(f.list.IsOutdated({b, a}));
    EXPECT_TRUE(f.list.IsOutdated({a}));
    EXPECT_TRUE(f.list.IsOutdated({a, gone}));
    TNodeList reopened(f.dir.Path().string() + "/");
    ASSERT_TRUE(reopened.Open());
    EXPECT_FALSE(reopened.IsOutdated({a, b}));
    f.Put("b.001", "Zone,2\r\n;more\r\n");
    EXPECT_TRUE(reopened.IsOutdated({a, b}));
}

}  // namespace
}  // namespace pelmar

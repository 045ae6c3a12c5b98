// *.MSG areas written by other programs read field by field as their dumps say.
#include <gtest/gtest.h>

#include "core/Settings.h"
#include "msgbase/FidoBase.h"
#include "support/Cp866.h"
#include "support/Json.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

using test::TJson;

// Fixture text (UTF-8 of CP866 characters) as it must appear in memory (CP1251).
std::string Ansi(const std::string& utf8) {
    return ToAnsi(test::Utf8ToCp866(utf8));
}

std::vector<std::string> AnsiLines(const std::vector<std::string>& lines) {
    std::vector<std::string> result;
    for (const auto& line : lines) result.push_back(Ansi(line));
    return result;
}

// "2:5020/2.0" as this program prints addresses.
std::string DumpAddress(std::string address) {
    if (address.size() > 2 && address.compare(address.size() - 2, 2, ".0") == 0)
        address.resize(address.size() - 2);
    return address;
}

// The address an echomail reader takes from a MSGID/REPLY value: its first word without a domain.
std::string IdAddress(const std::vector<std::string>& kludges, const std::string& prefix) {
    for (const auto& line : kludges) {
        if (line.rfind(prefix, 0) != 0) continue;
        std::string word = line.substr(prefix.size());
        word = word.substr(0, word.find(' '));
        return word.substr(0, word.find('@'));
    }
    return "";
}

// Names of the attribute bits as the two dumping programs call them, in bit order.
struct TAttrName {
    const char* Dump;
    const char* Short;
    uint16_t Common;
};
constexpr TAttrName AttrTable[] = {
    {"Private", "Pvt", 0},
    {"Crash", "Crs", AttrCrash},
    {"Recd", "Red", 0},
    {"Sent", "Snt", AttrSent},
    {"FileAttach", "Fil", AttrFileAttach},
    {"Forward", "Fwd", 0},
    {"Orphan", "Orp", 0},
    {"KillSent", "Kil", AttrKillSent},
    {"Local", "Loc", AttrLocal},
    {"Hold", "Hld", 0},
    {"", "", 0},
    {"FileRequest", "Frq", 0},
    {"ReturnReceiptRequest", "Rrq", AttrRqRcpt},
};

struct TExpected {
    std::string From, To, Subject, DateText, Orig, Dest;
    std::vector<std::string> HeaderKludges;  // empty: not known from the dump
    std::vector<std::string> Kludges;
    std::string Text;
    uint16_t FtsAttr = 0;
    bool Read = false;
};

void CheckArea(const std::filesystem::path& dir, bool netmail, const std::vector<TExpected>& expected,
               const std::vector<std::string>& stems) {
    TFidoBase base;
    base.SetPath(dir.string());
    base.Open();
    ASSERT_TRUE(base.Active);
    base.Netmail = netmail;
    ASSERT_EQ(base.Count(), static_cast<int32_t>(expected.size()));
    EXPECT_EQ(base.MsgFiles, stems);

    size_t i = 0;
    for (bool more = base.First(); more; more = base.Next(), ++i) {
        const TExpected& e = expected[i];
        SCOPED_TRACE(dir.filename().string() + " position " + std::to_string(i));

        base.ReadHeader();
        EXPECT_EQ(base.FromName, e.From);
        EXPECT_EQ(base.ToName, e.To);
        EXPECT_EQ(base.Subject, e.Subject);
        EXPECT_EQ(FormatFtsDate(base.Date), e.DateText);
        EXPECT_EQ(base.Read, e.Read);
        const std::vector<std::string> headerKludges = base.Kludges;
        if (!e.HeaderKludges.empty()) {
            EXPECT_EQ(headerKludges, e.HeaderKludges);
        }

        base.ReadMsgId();
        const std::string msgId = base.MsgId;
        base.ReadToAndRead();
        EXPECT_EQ(base.ToName, e.To);

        base.ReadMessage(base.Current);
        EXPECT_EQ(base.FromName, e.From);
        EXPECT_EQ(base.Subject, e.Subject);
        EXPECT_EQ(base.Kludges, e.Kludges);
        ASSERT_LE(headerKludges.size(), base.Kludges.size());
        EXPECT_TRUE(std::equal(headerKludges.begin(), headerKludges.end(), base.Kludges.begin()));
        EXPECT_EQ(base.Text, e.Text);
        EXPECT_EQ(base.RtfText, RtfEscape(e.Text));
        EXPECT_EQ(base.MsgId, msgId);
        EXPECT_EQ(base.OrigAddr, e.Orig);
        EXPECT_EQ(base.DestAddr, e.Dest);

        uint16_t attr = 0;
        std::string names;
        for (int bit = 0; bit < 13; ++bit) {
            if (!(e.FtsAttr & (1u << bit))) continue;
            attr |= AttrTable[bit].Common;
            names += std::string(AttrTable[bit].Short) + " ";
        }
        for (const auto& line : e.Kludges) {
            if (line.rfind("FLAGS", 0) == 0 && line.find("DIR") != std::string::npos) attr |= AttrDirect;
        }
        EXPECT_EQ(base.Attr, attr);
        std::string attrText;
        base.GetAttrText(attrText);
        EXPECT_EQ(attrText, names);
    }
    EXPECT_EQ(i, expected.size());
}

uint16_t AttrFromNames(const std::vector<std::string>& names) {
    uint16_t word = 0;
    for (const auto& name : names) {
        for (int bit = 0; bit < 13; ++bit) {
            if (name == AttrTable[bit].Dump) word |= static_cast<uint16_t>(1u << bit);
        }
    }
    return word;
}

// The library dumps keep SEEN-BY and ^A lines inside the body; this reader takes every ^A line out.
void SplitLibraryBody(const std::string& body, std::vector<std::string>& kludges, std::string& text) {
    size_t start = 0;
    while (start < body.size()) {
        size_t end = body.find('\n', start);
        if (end == std::string::npos) end = body.size();
        const std::string line = body.substr(start, end - start);
        if (!line.empty() && line[0] == '\x01') {
            kludges.push_back(Ansi(line.substr(1)));
        } else {
            text += Ansi(line) + "\r";
        }
        start = end + 1;
    }
}

class FidoFixtureTest : public ::testing::Test {
protected:
    void SetUp() override { Settings.TextInWindowsCodePage = false; }
    test::TempDir tmp_;
};

TEST_F(FidoFixtureTest, LibraryAreasReadAsDumped) {
    const struct {
        const char* Area;
        bool Netmail;
    } areas[] = {{"netmail", true}, {"ru.test", false}, {"su.general", false}, {"r50.local", false}};
    for (const auto& area : areas) {
        const auto dir = test::CopyFixture(std::string("smapi/bases/msg/") + area.Area, tmp_.Path());
        const auto rows = test::ParseJsonLines(test::ReadFile(test::FixturesDir() / "smapi/dumps" /
                                                              (std::string("msg-") + area.Area + ".jsonl")));
        ASSERT_GT(rows.size(), 1u);
        std::vector<TExpected> expected;
        std::vector<std::string> stems;
        for (size_t r = 1; r < rows.size(); ++r) {
            const TJson& row = rows[r];
            TExpected e;
            e.From = Ansi(row["from"].String);
            e.To = Ansi(row["to"].String);
            e.Subject = Ansi(row["subject"].String);
            e.DateText = row["ftsc_date"].String.substr(0, 19);
            e.HeaderKludges = AnsiLines(row["kludges"].Strings());
            e.Kludges = e.HeaderKludges;
            SplitLibraryBody(row["body"].String, e.Kludges, e.Text);
            e.FtsAttr = AttrFromNames(row["attr_names"].Strings());
            // The library's read flag is the Recd attribute; this program keeps its own mark.
            e.Read = false;
            if (area.Netmail) {
                e.Orig = DumpAddress(row["orig"].String);
                e.Dest = DumpAddress(row["dest"].String);
            } else {
                e.Orig = IdAddress(e.Kludges, "MSGID: ");
                e.Dest = IdAddress(e.Kludges, "REPLY: ");
            }
            expected.push_back(e);
            stems.push_back(std::to_string(static_cast<int>(row["uid"].Number)));
        }
        CheckArea(dir, area.Netmail, expected, stems);
    }
}

TEST_F(FidoFixtureTest, TosserAreasReadAsDumped) {
    for (const bool netmail : {true, false}) {
        const std::string area = netmail ? "netmail" : "sugeneral";
        const auto dir = test::CopyFixture("crashmail/bases/" + area, tmp_.Path());
        const auto rows = test::ParseJsonLines(
            test::ReadFile(test::FixturesDir() / "crashmail/dumps" / (area + ".msg.jsonl")));
        ASSERT_EQ(rows.size(), 2u);
        std::vector<TExpected> expected;
        std::vector<std::string> stems;
        for (const auto& row : rows) {
            TExpected e;
            e.From = Ansi(row["from"].String);
            e.To = Ansi(row["to"].String);
            e.Subject = Ansi(row["subject"].String);
            e.DateText = row["date"].String.substr(0, 19);
            e.Kludges = AnsiLines(row["kludges"].Strings());
            std::string text = Ansi(row["text"].String);
            for (auto& c : text) c = c == '\n' ? '\r' : c;
            e.Text = text.empty() ? text : text + "\r";
            e.FtsAttr = static_cast<uint16_t>(row["attr"].Number);
            e.Read = (static_cast<int>(row["nextReply"].Number) & 0x10) != 0;
            if (netmail) {
                e.Orig = DumpAddress(row["orig"].String);
                e.Dest = DumpAddress(row["dest"].String);
            } else {
                e.Orig = IdAddress(e.Kludges, "MSGID: ");
                e.Dest = IdAddress(e.Kludges, "REPLY: ");
            }
            expected.push_back(e);
            stems.push_back(std::to_string(static_cast<int>(row["number"].Number)));
        }
        CheckArea(dir, netmail, expected, stems);
    }
}

TEST_F(FidoFixtureTest, WindowsCodePageViewLeavesBodiesAsStored) {
    const auto dir = test::CopyFixture("crashmail/bases/netmail", tmp_.Path());
    TFidoBase base;
    base.SetPath(dir.string());
    base.Open();
    base.Netmail = true;
    Settings.TextInWindowsCodePage = true;
    base.ReadMessage(0);
    Settings.TextInWindowsCodePage = false;
    EXPECT_EQ(base.ToName, Ansi("Иван Петров"));  // header strings are always converted
    EXPECT_EQ(base.Text, test::Utf8ToCp866("Привет, это нетмейл.\rС уважением, босс.\r"));
}

}  // namespace
}  // namespace pelmar

// Bases tossed by crashmail and written by smapi, read field by field against their dumps.
#include <cstdio>

#include "JamTestUtil.h"
#include "core/Address.h"
#include "core/Errors.h"
#include "support/Json.h"

namespace pelmar::test {
namespace {

std::string IsoDate(TDateTime value, char separator) {
    int y, mo, d, h, mi, s;
    DecodeDateTime(value, y, mo, d, h, mi, s);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d%c%02d:%02d:%02d", y, mo, d, separator, h, mi, s);
    return text;
}

// Stored body (CR lines) the way the dumps print it: "\n" between lines, no trailing empty lines.
std::string DumpStyle(const std::string& cp1251Text) {
    std::string text = U(cp1251Text);
    for (char& c : text)
        if (c == '\r') c = '\n';
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
}

std::vector<std::string> Utf8Lines(const std::vector<std::string>& cp1251) {
    std::vector<std::string> out;
    for (const auto& line : cp1251) out.push_back(U(line));
    return out;
}

// First word as an address the way the program prints it; empty when net or node is 0.
std::string EchoForm(const std::string& text) {
    uint16_t zone, net, node, point;
    ParseAddress(text.substr(0, text.find(' ')), false, zone, net, node, point);
    return net == 0 || node == 0 ? "" : FormatAddress(zone, net, node, point);
}

class JamFixtureTest : public JamTest {
protected:
    std::string CopyBase(const std::string& relativeDir, const std::string& stem) {
        for (const char* ext : {".jhr", ".jdt", ".jdx", ".jlr"})
            if (std::filesystem::exists(FixturesDir() / relativeDir / (stem + ext)))
                CopyFixture(relativeDir + "/" + stem + ext, dir.Path());
        return dir.File(stem);
    }
};

TEST_F(JamFixtureTest, CrashmailAreaMatchesItsDump) {
    const std::string base = CopyBase("crashmail/bases", "rutest");
    const std::vector<TJson> dump =
        ParseJsonLines(ReadFile(FixturesDir() / "crashmail/dumps/rutest.jam.jsonl"));
    TJAM jam;
    jam.SetPath(base);
    jam.Open();
    ASSERT_TRUE(jam.Active);
    EXPECT_EQ(jam.Count(), dump[0]["base"]["active"].Int());
    EXPECT_EQ(jam.ChangeCounter(), dump[0]["base"]["modcounter"].Int());
    ASSERT_EQ(static_cast<int64_t>(jam.Index.size()), dump[0]["base"]["index_entries"].Int());

    size_t walked = 0;
    for (bool more = jam.First(); more; more = jam.Next()) ++walked;
    EXPECT_EQ(walked, dump.size() - 1);

    for (size_t i = 1; i < dump.size(); ++i) {
        const TJson& m = dump[i];
        const auto position = static_cast<int32_t>(m["position"].Int());
        SCOPED_TRACE("position " + std::to_string(position));
        jam.ReadMessage(position);
        std::vector<std::string> kludges;
        std::string from, to, subject, msgId, replyId;
        for (const TJson& field : m["subfields"].Array) {
            const std::string& kind = field[0].String;
            const std::string& data = field[1].String;
            if (kind == "SENDERNAME") from = data;
            if (kind == "RECEIVERNAME") to = data;
            if (kind == "SUBJECT") subject = data;
            if (kind == "MSGID") msgId = data, kludges.push_back("MSGID: " + data);
            if (kind == "REPLYID") replyId = data, kludges.push_back("REPLY: " + data);
            if (kind == "PID") kludges.push_back("PID: " + data);
            if (kind == "FTSKLUDGE") kludges.push_back(data);
            if (kind == "PATH2D") kludges.push_back("PATH: " + data);
            if (kind == "SEENBY2D") kludges.push_back("SEEN-BY: " + data);
        }
        EXPECT_EQ(U(jam.FromName), from);
        EXPECT_EQ(U(jam.ToName), to);
        EXPECT_EQ(U(jam.Subject), subject);
        EXPECT_EQ(U(jam.MsgId), msgId);
        EXPECT_EQ(U(jam.ReplyId), replyId);
        EXPECT_EQ(Utf8Lines(jam.Kludges), kludges);
        EXPECT_EQ(jam.OrigAddr, EchoForm(msgId));
        EXPECT_EQ(jam.DestAddr, EchoForm(replyId));
        EXPECT_EQ(IsoDate(jam.Date, 'T'), m["datewritten"].String);
        EXPECT_EQ(jam.Read, (m["attr2"].Int() & 0x800) != 0);
        EXPECT_EQ(jam.Attr, AttrSent);  // crashmail marks tossed echomail Sent (0x10)
        EXPECT_EQ(jam.MsgHeader.MessageNumber, m["number"].Int());
        EXPECT_EQ(DumpStyle(jam.Text), AsShown(m["text"].String));
        EXPECT_TRUE(m["text_kludges"].Array.empty());
        std::string attrText;
        jam.GetAttrText(attrText);
        EXPECT_EQ(attrText, "Snt Ech ");
        EXPECT_FALSE(jam.CheckCurrent());

        jam.Seek(position);
        jam.ReadMsgId();
        EXPECT_EQ(U(jam.MsgId), msgId);
        jam.ReadToAndRead();
        EXPECT_EQ(U(jam.ToName), to);
    }
    // The 320-line message arrives whole, with its escapes for the rich-text view.
    jam.ReadMessage(5);
    EXPECT_GT(jam.Text.size(), 40000u);
    EXPECT_NE(jam.RtfText.find("\\par "), std::string::npos);
}

struct TSmapiCase {
    const char* Stem;
    bool Netmail;
};

class JamSmapiTest : public JamFixtureTest, public ::testing::WithParamInterface<TSmapiCase> {};

TEST_P(JamSmapiTest, BaseMatchesItsDump) {
    const TSmapiCase param = GetParam();
    const std::string base = CopyBase("smapi/bases/jam", param.Stem);
    const std::vector<TJson> dump = ParseJsonLines(
        ReadFile(FixturesDir() / "smapi/dumps" / (std::string("jam-") + param.Stem + ".jsonl")));
    TJAM jam;
    jam.SetPath(base);
    jam.Open();  // smapi writes no .jlr
    ASSERT_TRUE(jam.Active);
    jam.Netmail = param.Netmail;
    // The recipient CRCs, MSGIDcrc and REPLYcrc smapi stored are computed the way this base does.
    EXPECT_TRUE(CheckJamBase(base).empty()) << CheckerReport(base);
    const TRawJamBase raw = ReadRawJamBase(base);
    for (size_t i = 0; i < raw.Index.size(); ++i) {
        if (raw.Index[i].second == 0xFFFFFFFF) continue;
        const TRawJamMessage m = ReadRawJamMessage(base, i);
        std::string msgId, reply;
        for (const auto& [id, data] : m.Subfields) {
            if (id == JamSfMsgId) msgId = data;
            if (id == JamSfReplyId) reply = data;
        }
        EXPECT_EQ(m.MsgIdCrc, JamTextCrc(msgId)) << i;
        EXPECT_EQ(m.ReplyCrc, JamTextCrc(reply)) << i;
    }
    EXPECT_EQ(jam.Count(), dump[0]["area"]["num_msg"].Int());

    size_t line = 1;
    for (bool more = jam.First(); more; more = jam.Next(), ++line) {
        ASSERT_LT(line, dump.size());
        const TJson& m = dump[line];
        SCOPED_TRACE(m["subject"].String);
        jam.ReadMessage(jam.Current);
        EXPECT_EQ(jam.MsgHeader.MessageNumber, m["uid"].Int());
        EXPECT_EQ(U(jam.FromName), m["from"].String);
        EXPECT_EQ(U(jam.ToName), m["to"].String);
        EXPECT_EQ(U(jam.Subject), m["subject"].String);
        EXPECT_EQ(IsoDate(jam.Date, ' '), m["date_written"].String);

        // smapi makes INTL/FMPT/TOPT from the header and puts the SEEN-BY and PATH subfields back
        // into the body; this base keeps them all as control lines. TZUTC comes from its subfield.
        std::vector<std::string> kludges;
        for (const TJson& k : m["kludges"].Array) {
            const std::string& s = k.String;
            if (s.rfind("INTL ", 0) == 0 || s.rfind("FMPT ", 0) == 0 || s.rfind("TOPT ", 0) == 0) continue;
            kludges.push_back(s);
        }
        std::string body = m["body"].String;
        std::vector<std::string> trailer;
        while (!body.empty()) {
            if (body.back() == '\n') body.pop_back();
            const size_t start = body.rfind('\n') == std::string::npos ? 0 : body.rfind('\n') + 1;
            std::string last = body.substr(start);
            if (last.rfind("SEEN-BY: ", 0) == 0) {
                trailer.insert(trailer.begin(), last);
            } else if (last.rfind("\x01PATH: ", 0) == 0 || last.rfind("PATH: ", 0) == 0) {
                trailer.insert(trailer.begin(), last.substr(last[0] == '\x01' ? 1 : 0));
            } else {
                break;
            }
            body.erase(start);
        }
        kludges.insert(kludges.end(), trailer.begin(), trailer.end());
        EXPECT_EQ(Utf8Lines(jam.Kludges), kludges);
        while (!body.empty() && body.back() == '\n') body.pop_back();
        EXPECT_EQ(DumpStyle(jam.Text), AsShown(body));

        if (param.Netmail) {
            EXPECT_EQ(jam.OrigAddr, EchoForm(m["orig"].String));
            EXPECT_EQ(jam.DestAddr, EchoForm(m["dest"].String));
        } else {
            EXPECT_EQ(jam.OrigAddr, EchoForm(m["dest"].String));  // smapi shows the MSGID address there
        }
        const int64_t attr = m["attr"].Int();
        uint16_t expected = 0;
        if (attr & 2) expected |= AttrCrash;
        if (attr & 8) expected |= AttrSent;
        if (attr & 16) expected |= AttrFileAttach;
        if (attr & 128) expected |= AttrKillSent;
        if (attr & 256) expected |= AttrLocal;
        if (attr & 4096) expected |= AttrRqRcpt;
        EXPECT_EQ(jam.Attr, expected);
        // smapi's read flag is the format's "received" bit; this program keeps its own mark.
        EXPECT_FALSE(jam.Read);
        std::string attrText;
        jam.GetAttrText(attrText);
        EXPECT_EQ(attrText.find("Rcvd") != std::string::npos, m["read"].Bool);
    }
    EXPECT_EQ(line, dump.size());
}

INSTANTIATE_TEST_SUITE_P(Areas, JamSmapiTest,
                         ::testing::Values(TSmapiCase{"ru.test", false}, TSmapiCase{"su.general", false},
                                           TSmapiCase{"r50.local", false}, TSmapiCase{"netmail", true}),
                         [](const auto& info) {
                             std::string name = info.param.Stem;
                             for (char& c : name)
                                 if (c == '.') c = '_';
                             return name;
                         });

TEST_F(JamFixtureTest, DeletedMessageIsSkippedAndUnreadable) {
    const std::string base = CopyBase("smapi/bases/jam", "ru.test");
    TJAM jam;
    jam.SetPath(base);
    jam.Open();
    ASSERT_TRUE(jam.Active);
    ASSERT_EQ(jam.Index.size(), 16u);
    ASSERT_TRUE(jam.Index[10].Deleted());
    for (bool more = jam.First(); more; more = jam.Next()) EXPECT_NE(jam.Current, 10);
    jam.Seek(10);
    EXPECT_FALSE(jam.IsValid());
    EXPECT_THROW(jam.ReadHeader(), EReadError);
    // Delete of an already deleted entry succeeds and changes nothing.
    const std::string before = ReadFile(base + ".jhr") + ReadFile(base + ".jdx");
    EXPECT_TRUE(jam.DeleteCurrent());
    EXPECT_EQ(ReadFile(base + ".jhr") + ReadFile(base + ".jdx"), before);
}

}  // namespace
}  // namespace pelmar::test

// Reading Squish bases: bases written by another Squish implementation (compared with what that
// implementation reads back), bases laid out byte by byte, and damaged bases.
#include <gtest/gtest.h>

#include <functional>

#include "SquishLayout.h"
#include "core/Codepage.h"
#include "core/Errors.h"
#include "core/Settings.h"
#include "msgbase/Squish.h"
#include "support/Cp866.h"
#include "support/Json.h"
#include "support/TestSupport.h"

namespace pelmar::test {
namespace {

// What the reader holds for stored text that the dump shows as UTF-8.
std::string Ansi(const std::string& utf8) {
    return OemToAnsi(Utf8ToCp866(utf8));
}
// CP1251 of a literal in this (UTF-8) source file.
std::string W(const char* utf8) {
    return Utf8ToAnsi(utf8);
}

std::string FirstWordAddress(const std::string& value) {
    std::string word = value.substr(0, value.find(' '));
    return word.substr(0, word.find('@'));
}

std::string DumpAddress(const std::string& text) {
    return text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0 ? text.substr(0, text.size() - 2)
                                                                          : text;
}

class SquishFixture : public ::testing::TestWithParam<const char*> {};

TEST_P(SquishFixture, ReadsWhatTheOtherImplementationWrote) {
    TempDir dir;
    const std::string area = GetParam();
    CopyFixture("smapi/bases/squish/" + area + ".sqd", dir.Path());
    CopyFixture("smapi/bases/squish/" + area + ".sqi", dir.Path());
    const auto dump = ReadJsonLines((FixturesDir() / ("smapi/dumps/squish-" + area + ".jsonl")).string());
    ASSERT_GE(dump.size(), 2u);
    const TJson& info = dump[0]["area"];
    const std::string base = dir.File(area);
    // smapi's index hashes are the ones this base computes as well.
    EXPECT_SQUISH_CONSISTENT(base, true, true);
    const std::string before = ReadFile(base + ".sqd") + ReadFile(base + ".sqi");

    TSquish squish;
    squish.SetPath(base);
    squish.Netmail = !info["echo"].Bool;
    squish.Open();
    ASSERT_TRUE(squish.Active);
    EXPECT_EQ(squish.Count(), info["num_msg"].Int());

    // The walk visits the messages in index order; ReadHeader fills names and leading control lines.
    std::vector<int32_t> positions;
    for (bool ok = squish.First(); ok; ok = squish.Next()) {
        const TJson& m = dump[positions.size() + 1];
        SCOPED_TRACE("message " + std::to_string(m["msgn"].Int()));
        squish.ReadHeader();
        EXPECT_EQ(squish.FromName, Ansi(m["from"].String));
        EXPECT_EQ(squish.ToName, Ansi(m["to"].String));
        EXPECT_EQ(squish.Subject, Ansi(m["subject"].String));
        EXPECT_EQ(FormatFtsDate(squish.Date), m["ftsc_date"].String);
        std::vector<std::string> kludges;
        std::string msgId;
        for (const auto& k : m["kludges"].Array) {
            kludges.push_back(Ansi(k.String));
            if (k.String.rfind("MSGID: ", 0) == 0) msgId = Ansi(k.String.substr(7));
        }
        EXPECT_EQ(squish.Kludges, kludges);
        EXPECT_EQ(squish.MsgId, msgId);
        squish.ReadMsgId();
        EXPECT_EQ(squish.MsgId, msgId);
        positions.push_back(squish.Current);
    }
    ASSERT_EQ(positions.size(), dump.size() - 1);

    for (size_t i = 0; i < positions.size(); ++i) {
        const TJson& m = dump[i + 1];
        SCOPED_TRACE("message " + std::to_string(m["msgn"].Int()));
        squish.ReadMessage(positions[i]);
        // Body lines carrying ^A (PATH and the like) are control lines; everything else is text.
        std::string text;
        std::vector<std::string> kludges;
        for (const auto& k : m["kludges"].Array) kludges.push_back(Ansi(k.String));
        std::string body = m["body"].String;
        size_t start = 0;
        while (start < body.size()) {
            size_t eol = body.find('\n', start);
            const bool hasBreak = eol != std::string::npos;
            if (!hasBreak) eol = body.size();
            const std::string line = body.substr(start, eol - start);
            if (!line.empty() && line[0] == '\x01')
                kludges.push_back(Ansi(line.substr(1)));
            else
                text += Ansi(line) + (hasBreak ? "\r" : "");
            start = eol + 1;
        }
        if (!text.empty() && text.back() != '\r') text += '\r';
        EXPECT_EQ(squish.Text, text);
        EXPECT_EQ(squish.Kludges, kludges);
        EXPECT_FALSE(squish.Read);  // the other program's Recd bit is not this program's read mark

        const uint32_t attr = static_cast<uint32_t>(m["attr"].Number);
        uint16_t expected = 0;
        if (attr & 2) expected |= AttrCrash;
        if (attr & 8) expected |= AttrSent;
        if (attr & 16) expected |= AttrFileAttach;
        if (attr & 128) expected |= AttrKillSent;
        if (attr & 256) expected |= AttrLocal;
        if (attr & 4096) expected |= AttrRqRcpt;
        EXPECT_EQ(squish.Attr, expected);

        if (squish.Netmail) {
            EXPECT_EQ(squish.OrigAddr, DumpAddress(m["orig"].String));
            EXPECT_EQ(squish.DestAddr, DumpAddress(m["dest"].String));
        } else {
            EXPECT_EQ(squish.OrigAddr, squish.MsgId.empty() ? "" : FirstWordAddress(squish.MsgId));
            EXPECT_EQ(squish.DestAddr, squish.ReplyId.empty() ? "" : FirstWordAddress(squish.ReplyId));
        }
    }
    squish.Close();
    EXPECT_EQ(ReadFile(base + ".sqd") + ReadFile(base + ".sqi"), before) << "reading changed the base";
}

INSTANTIATE_TEST_SUITE_P(Smapi, SquishFixture,
                         ::testing::Values("netmail", "ru.test", "su.general", "r50.local"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (c == '.') c = '_';
                             return name;
                         });

TEST(SquishFixtureDetails, DeletedMessageAndAttributeNames) {
    TempDir dir;
    CopyFixture("smapi/bases/squish/ru.test.sqd", dir.Path());
    CopyFixture("smapi/bases/squish/ru.test.sqi", dir.Path());
    TSquish squish;
    squish.SetPath(dir.File("ru.test"));
    squish.Open();
    ASSERT_TRUE(squish.Active);
    int visited = 0;
    std::string attrNames;
    for (bool ok = squish.First(); ok; ok = squish.Next()) {
        squish.ReadHeader();
        EXPECT_NE(squish.Subject, Ansi("Удалить меня"));
        ++visited;
        if (squish.Subject == Ansi("Re^2: Привет всем")) squish.GetAttrText(attrNames);
    }
    EXPECT_EQ(visited, 15);
    EXPECT_EQ(attrNames, "Rcv ");
    // The name hash in the other program's index for "All".
    EXPECT_EQ(SquishHash("All"), 0x682Cu);
    EXPECT_EQ(SquishHash("All"), SquishHash("all"));
    // Over the stored CP866 bytes with only ASCII lower-cased, as smapi indexed "Иван Петров".
    EXPECT_EQ(SquishHash(ToOem(Ansi("Иван Петров"))), 0x79A4CBF2u);
}

// ---- Bases laid out here -------------------------------------------------------------------------

struct TOpened {
    TempDir Dir;
    std::string Base = Dir.File("area");
    TSquish Squish;

    explicit TOpened(const TSquishBuilder& builder, bool netmail = false) {
        builder.Save(Base);
        Squish.SetPath(Base);
        Squish.Open();
        Squish.Netmail = netmail;
    }
};

TEST(SquishRead, ControlLinesBodyAndAddresses) {
    TSquishBuilder b;
    TRawMessage m;
    m.From = AnsiToOem(W("Иван"));
    m.To = "Sysop";
    m.Subject = AnsiToOem(W("Тема"));
    m.Attr = 0x0002 | 0x0100 | 0x00080000;
    m.Orig[0] = 9;  // overridden by INTL
    m.Kludges = {"INTL 2:5020/1 1:2/3", "FMPT 4", "MSGID: 1:2/3.4 1a2b3c4d", "FLAGS DIR"};
    m.Body = AnsiToOem(W("Строка\rSEEN-BY: 5020/1\r")) + "\x01PATH: 5020/1\r\n\x01" + "VIA x\r";
    b.Add(m);
    TOpened o(b, true);
    ASSERT_TRUE(o.Squish.Active);

    ASSERT_TRUE(o.Squish.First());
    o.Squish.ReadHeader();
    EXPECT_EQ(o.Squish.FromName, W("Иван"));
    EXPECT_EQ(o.Squish.Subject, W("Тема"));
    EXPECT_EQ(o.Squish.Kludges, (std::vector<std::string>{"INTL 2:5020/1 1:2/3", "FMPT 4",
                                                          "MSGID: 1:2/3.4 1a2b3c4d", "FLAGS DIR"}));
    EXPECT_EQ(o.Squish.MsgId, "1:2/3.4 1a2b3c4d");
    EXPECT_TRUE(o.Squish.Read);
    EXPECT_TRUE(o.Squish.OrigAddr.empty());  // the header read leaves addresses to ReadMessage

    o.Squish.ReadMessage(0);
    EXPECT_EQ(o.Squish.Text, W("Строка\rSEEN-BY: 5020/1\r"));
    EXPECT_EQ(o.Squish.Kludges.size(), 6u);
    EXPECT_EQ(o.Squish.Kludges[4], "PATH: 5020/1");
    EXPECT_EQ(o.Squish.Kludges[5], "VIA x");
    EXPECT_EQ(o.Squish.OrigAddr, "1:2/3.4");
    EXPECT_EQ(o.Squish.DestAddr, "2:5020/1");
    EXPECT_EQ(o.Squish.Attr, AttrCrash | AttrLocal | AttrDirect);
    EXPECT_TRUE(o.Squish.Read);
    std::string names;
    o.Squish.GetAttrText(names);
    EXPECT_EQ(names, "Crsh Loc ");
}

TEST(SquishRead, BodyEdgeCases) {
    TSquishBuilder b;
    TRawMessage noControl;  // clen 0 and no NUL: the body starts right after the XMSG
    noControl.NoControl = true;
    noControl.Body = "Body\r";
    b.Add(noControl);
    TRawMessage unterminated;  // last line without CR, an LF, and a soft CR of the DOS page
    unterminated.Kludges = {"PID: x", "MSGID: 2:5020/1 00000001"};
    unterminated.Body =
        "a\r\nb\x8D"
        "c";
    b.Add(unterminated);
    TRawMessage empty;
    empty.Body = "";
    b.Add(empty);
    TRawMessage large;  // larger than any read-ahead
    large.Body = std::string(300000, 'L') + "\r";
    b.Add(large);
    TOpened o(b);
    ASSERT_TRUE(o.Squish.Active);

    o.Squish.ReadMessage(0);
    EXPECT_EQ(o.Squish.Text, "Body\r");
    EXPECT_TRUE(o.Squish.Kludges.empty());

    o.Squish.ReadMessage(1);
    EXPECT_EQ(o.Squish.Text, "a\r" + OemToAnsi("b\x8D") + "c\r");
    o.Squish.Seek(1);
    o.Squish.ReadMsgId();  // MSGID is the last control line: nothing of the NUL after it
    EXPECT_EQ(o.Squish.MsgId, "2:5020/1 00000001");

    o.Squish.ReadMessage(2);
    EXPECT_EQ(o.Squish.Text, "");

    o.Squish.ReadMessage(3);
    EXPECT_EQ(o.Squish.Text, large.Body);
    int walked = 0;
    for (bool ok = o.Squish.First(); ok; ok = o.Squish.Next(), ++walked) o.Squish.ReadHeader();
    EXPECT_EQ(walked, 4);
}

TEST(SquishRead, WindowsCodePageSwitchLeavesBodyAsStored) {
    TSquishBuilder b;
    TRawMessage m;
    m.From = AnsiToOem(W("Иван"));
    m.Kludges = {AnsiToOem(W("X-CYR: Тест"))};
    m.Body = "\xCF\xF0\xE8\xE2\xE5\xF2\r";  // "Привет" stored in CP1251
    b.Add(m);
    TOpened o(b);
    Settings.TextInWindowsCodePage = true;
    o.Squish.ReadMessage(0);
    Settings.TextInWindowsCodePage = false;
    EXPECT_EQ(o.Squish.FromName, W("Иван"));
    EXPECT_EQ(o.Squish.Text, m.Body);
    EXPECT_EQ(o.Squish.Kludges[0], m.Kludges[0]);  // control lines travel with the body: not converted
    o.Squish.ReadHeader();                         // ...but the header read always converts
    EXPECT_EQ(o.Squish.Kludges[0], W("X-CYR: Тест"));
}

TEST(SquishRead, NavigationSkipsFreeSlotsAndCountsUnread) {
    ScopedHome home;
    TSquishBuilder b;
    TRawMessage m;
    m.To = "Me";
    b.Add(m);
    m.Attr = 0x00080000;
    b.Add(m);
    m.Attr = 0;
    m.To = "Other";
    b.Add(m);
    b.AddFree(100);
    // Unused slots some writers leave at the end of the index.
    b.Sqi += std::string("\0\0\0\0\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 12);
    TOpened o(b);
    ASSERT_TRUE(o.Squish.Active);
    EXPECT_EQ(o.Squish.Count(), 3);
    Settings.FullName = "Me";
    EXPECT_EQ(o.Squish.CountUnread(), 2);
    EXPECT_EQ(o.Squish.PersonalUnread, 1);
    ASSERT_TRUE(o.Squish.First());
    ASSERT_TRUE(o.Squish.Next());
    ASSERT_TRUE(o.Squish.Next());
    EXPECT_FALSE(o.Squish.Next());
    EXPECT_EQ(o.Squish.Current, 2);
    o.Squish.Seek(3);
    EXPECT_FALSE(o.Squish.IsValid());
    EXPECT_EQ(o.Squish.ChangeStamp(), 4.0);
    EXPECT_EQ(o.Squish.ChangeCounter(), static_cast<int32_t>(b.Sqd.size() + 3));
}

TEST(SquishRead, OpenFailures) {
    TempDir dir;
    TSquish squish;
    squish.SetPath(dir.File("none"));
    squish.Open();
    EXPECT_FALSE(squish.Active);

    TSquishBuilder b;
    b.Add(TRawMessage{});
    b.Save(dir.File("noindex"));
    std::filesystem::remove(dir.File("noindex.sqi"));
    squish.SetPath(dir.File("noindex"));
    squish.Open();
    EXPECT_FALSE(squish.Active);

    b.Save(dir.File("short"));
    WriteFile(dir.File("short.sqd"), b.Sqd.substr(0, 200));
    squish.SetPath(dir.File("short"));
    squish.Open();
    EXPECT_FALSE(squish.Active);

    // Upper-case names as DOS-era tossers wrote them open the same way.
    b.Save(dir.File("upper"));
    std::filesystem::rename(dir.File("upper.sqd"), dir.File("UPPER.SQD"));
    std::filesystem::rename(dir.File("upper.sqi"), dir.File("UPPER.SQI"));
    squish.SetPath(dir.File("upper"));
    squish.Open();
    EXPECT_TRUE(squish.Active);
    EXPECT_EQ(squish.Count(), 1);
}

// ---- Damaged bases -----------------------------------------------------------------------------

struct TDamage {
    const char* Name;
    // Damages message 2 of three (frame at `frame`, index entry 1).
    std::function<void(TSquishBuilder&, uint32_t frame)> Apply;
};

class SquishDamaged : public ::testing::TestWithParam<TDamage> {};

TEST_P(SquishDamaged, OnlyTheDamagedMessageFailsAndNothingIsWritten) {
    TSquishBuilder b;
    TRawMessage m;
    m.Kludges = {"MSGID: 2:5020/1 00000001"};
    const uint32_t first = b.Add(m);
    const uint32_t second = b.Add(m);
    m.Subject = "Third";
    const uint32_t third = b.Add(m);
    GetParam().Apply(b, second);
    TOpened o(b);
    ASSERT_TRUE(o.Squish.Active);
    const std::string before = ReadFile(o.Base + ".sqd") + ReadFile(o.Base + ".sqi");

    int good = 0, bad = 0;
    for (bool ok = o.Squish.First(); ok; ok = o.Squish.Next()) {
        const int32_t position = o.Squish.Current;
        for (auto read : {&TSquish::ReadHeader, &TSquish::ReadMsgId, &TSquish::ReadToAndRead}) {
            try {
                (o.Squish.*read)();
                ++good;
            } catch (const EReadError&) {
                ++bad;
                EXPECT_EQ(position, 1);
            }
        }
        try {
            o.Squish.ReadMessage(position);
        } catch (const EReadError&) {
            EXPECT_EQ(position, 1);
        }
        o.Squish.MarkRead();  // never writes into a damaged frame
    }
    EXPECT_EQ(bad, 3);
    EXPECT_EQ(good, 6);
    o.Squish.ReadMessage(2);
    EXPECT_EQ(o.Squish.Subject, "Third");

    // The undamaged messages got their read marks; nothing else changed.
    o.Squish.Close();
    std::string after = ReadFile(o.Base + ".sqd") + ReadFile(o.Base + ".sqi");
    std::string expected = before;
    for (uint32_t frame : {first, third}) PutLe32(expected, frame + kFrameSize + xm::Attr, 0x00080000);
    EXPECT_EQ(after, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SquishDamaged,
    ::testing::Values(
        TDamage{"IndexPastEnd", [](TSquishBuilder& b, uint32_t) { PutLe32(b.Sqi, 12, 0x7FFFFFF0); }},
        TDamage{"IndexIntoHeader", [](TSquishBuilder& b, uint32_t) { PutLe32(b.Sqi, 12, 100); }},
        TDamage{"IndexNearEnd",
                [](TSquishBuilder& b, uint32_t) {
                    PutLe32(b.Sqi, 12, static_cast<uint32_t>(b.Sqd.size() - 20));
                }},
        TDamage{"BadFrameId", [](TSquishBuilder& b, uint32_t f) { PutLe32(b.Sqd, f + frm::Id, 0x12345678); }},
        TDamage{"FreeFrame", [](TSquishBuilder& b, uint32_t f) { PutLe16(b.Sqd, f + frm::Type, 1); }},
        TDamage{"MsgLengthBelowXmsg",
                [](TSquishBuilder& b, uint32_t f) { PutLe32(b.Sqd, f + frm::MsgLength, 100); }},
        TDamage{"MsgLengthPastFile",
                [](TSquishBuilder& b, uint32_t f) { PutLe32(b.Sqd, f + frm::MsgLength, 0xFFFFFFF0); }},
        TDamage{"ClenPastMessage",
                [](TSquishBuilder& b, uint32_t f) { PutLe32(b.Sqd, f + frm::CLen, 0x7FFFFFFF); }},
        TDamage{"ClenJustPastMessage",
                [](TSquishBuilder& b, uint32_t f) {
                    PutLe32(b.Sqd, f + frm::CLen, Le32(b.Sqd, f + frm::MsgLength) - kXmsgSize + 1);
                }}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(SquishDamagedFiles, TruncatedDataAndRaggedIndex) {
    TSquishBuilder b;
    TRawMessage m;
    b.Add(m);
    b.Add(m);
    const uint32_t last = b.Add(m);
    b.Sqd.resize(last + kFrameSize + kXmsgSize + 2);  // a tosser died while writing the last message
    b.Sqi += "\x01\x02\x03\x04\x05";                  // and left half an index entry
    TOpened o(b);
    ASSERT_TRUE(o.Squish.Active);
    o.Squish.ReadMessage(0);
    o.Squish.ReadMessage(1);
    EXPECT_THROW(o.Squish.ReadMessage(2), EReadError);
    o.Squish.Seek(2);
    EXPECT_THROW(o.Squish.ReadToAndRead(), EReadError);
    EXPECT_FALSE(o.Squish.Next());
    EXPECT_EQ(o.Squish.Count(), 3);
}

TEST(SquishDamagedFiles, OversizedIndexIsReadOnlyAsFarAsTheDataAllows) {
    TSquishBuilder b;
    b.Add(TRawMessage{});
    b.Add(TRawMessage{});
    b.Sqi += std::string(8 << 20, 'A');  // garbage entries that all point to 0x41414141
    TOpened o(b);
    ASSERT_TRUE(o.Squish.Active);
    int live = 0, errors = 0;
    for (bool ok = o.Squish.First(); ok; ok = o.Squish.Next()) {
        try {
            o.Squish.ReadHeader();
            ++live;
        } catch (const EReadError&) {
            ++errors;
        }
    }
    EXPECT_EQ(live, 2);
    EXPECT_LE(errors, static_cast<int>(b.Sqd.size() / (kFrameSize + kXmsgSize)));
}

TEST(SquishDamagedFiles, RandomCorruptionNeverCrashes) {
    TSquishBuilder b;
    for (int i = 0; i < 6; ++i) {
        TRawMessage m;
        m.Kludges = {"MSGID: 2:5020/1 0000000" + std::to_string(i), "PID: x"};
        m.Body = std::string(50 + i * 40, 'x') + "\r\x01PATH: 1\r";
        b.Add(m);
    }
    b.AddFree(64);
    uint32_t seed = 12345;
    auto random = [&seed] {
        seed = seed * 1103515245 + 12345;
        return (seed >> 8) & 0xFFFFFF;
    };
    for (int round = 0; round < 300; ++round) {
        TSquishBuilder damaged = b;
        for (int k = 0; k < 8; ++k) {
            std::string& file = (random() % 4 == 0) ? damaged.Sqi : damaged.Sqd;
            if (file.empty()) continue;
            file[random() % file.size()] = static_cast<char>(random());
        }
        if (random() % 5 == 0) damaged.Sqd.resize(random() % damaged.Sqd.size());
        TOpened o(damaged);
        if (!o.Squish.Active) continue;
        for (bool ok = o.Squish.First(); ok; ok = o.Squish.Next()) {
            const int32_t position = o.Squish.Current;
            try {
                o.Squish.ReadHeader();
                o.Squish.ReadMsgId();
                o.Squish.ReadToAndRead();
                o.Squish.ReadMessage(position);
            } catch (const EReadError&) {
            } catch (const EConvertError&) {
            }
        }
        // Writing into such a base is refused or goes through; it never crashes.
        try {
            o.Squish.Seek(1);
            o.Squish.DeleteCurrent();
            o.Squish.NewMessage();
            o.Squish.Subject = "x";
            o.Squish.WriteMessage();
        } catch (const EReadError&) {
        }
    }
}

}  // namespace
}  // namespace pelmar::test

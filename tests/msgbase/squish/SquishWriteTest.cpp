// Writing Squish bases: new, rewritten and deleted messages, checked byte by byte where the layout
// fixes the bytes and with the invariant checker after every write.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>

#include "SquishLayout.h"
#include "core/Codepage.h"
#include "core/Errors.h"
#include "core/Settings.h"
#include "msgbase/Squish.h"
#include "support/TestSupport.h"

namespace pelmar::test {
namespace {

std::string W(const char* utf8) {
    return Utf8ToAnsi(utf8);
}

struct TBase {
    TempDir Dir;
    std::string Base = Dir.File("area");
    TSquish Squish;

    explicit TBase(const TSquishBuilder& builder = TSquishBuilder()) {
        builder.Save(Base);
        Squish.SetPath(Base);
        Squish.Open();
    }
    std::string Sqd() const { return ReadFile(Base + ".sqd"); }
    std::string Sqi() const { return ReadFile(Base + ".sqi"); }
    std::string Files() const { return Sqd() + "|" + Sqi(); }
};

TSquishBuilder Messages(int count) {
    TSquishBuilder b;
    for (int i = 0; i < count; ++i) {
        TRawMessage m;
        m.Subject = "Message " + std::to_string(i);
        m.Kludges = {"MSGID: 2:5020/1 0000000" + std::to_string(i)};
        b.Add(m);
    }
    return b;
}

void FillEcho(TSquish& s, const std::string& subject) {
    s.FromName = "Tester";
    s.ToName = "All";
    s.Subject = subject;
    s.OrigAddr = "2:5020/1";
    s.Date = EncodeDateTime(2025, 12, 1, 10, 0, 0);
    s.Attr = AttrLocal;
    s.Kludges = {"MSGID: 2:5020/1 1a2b3c4d", "PID: Plm 1.0"};
    s.Text = "Hello\r";
}

bool Append(TSquish& s, const std::string& subject) {
    s.NewMessage();
    FillEcho(s, subject);
    return s.WriteMessage();
}

bool Rewrite(TSquish& s, int32_t position, const std::string& subject) {
    s.Seek(position);
    s.PrepareRewrite();
    FillEcho(s, subject);
    return s.WriteMessage();
}

bool Delete(TSquish& s, int32_t position) {
    s.Seek(position);
    return s.DeleteCurrent();
}

// Subjects in walk order, read through a fresh object.
std::vector<std::string> Subjects(const std::string& base) {
    TSquish reader;
    reader.SetPath(base);
    reader.Open();
    std::vector<std::string> subjects;
    for (bool ok = reader.First(); ok; ok = reader.Next()) {
        reader.ReadHeader();
        subjects.push_back(reader.Subject);
    }
    return subjects;
}

TEST(SquishWrite, NewMessageOnEmptyBaseStoresTheLayoutBytes) {
    TBase b;
    ASSERT_TRUE(b.Squish.Active);
    b.Squish.NewMessage();
    EXPECT_EQ(b.Squish.Current, 0);
    EXPECT_EQ(b.Squish.Count(), 1);
    FillEcho(b.Squish, std::string(80, 'S'));
    b.Squish.FromName = std::string(40, 'F');
    b.Squish.ToName = W("Всем");
    b.Squish.Attr = AttrLocal | AttrCrash | AttrKillSent | AttrSent | AttrRqRcpt | AttrReqAudit |
                    AttrFileAttach | AttrRetRcpt;
    b.Squish.Read = true;
    ASSERT_TRUE(b.Squish.WriteMessage());
    EXPECT_SQUISH_CONSISTENT(b.Base);

    const std::string sqd = b.Sqd();
    EXPECT_EQ(Le32(sqd, hdr::BeginFrame), 256u);
    EXPECT_EQ(Le32(sqd, hdr::LastFrame), 256u);
    EXPECT_EQ(Le32(sqd, hdr::NumMsg), 1u);
    EXPECT_EQ(Le32(sqd, hdr::Uid), 2u);
    const size_t x = 256 + kFrameSize;
    const std::string control = "\x01MSGID: 2:5020/1 1a2b3c4d\x01PID: Plm 1.0";
    EXPECT_EQ(Le32(sqd, 256 + frm::CLen), 39u);
    EXPECT_EQ(sqd.substr(x + kXmsgSize, 39), control + '\0');
    const std::string body = sqd.substr(x + kXmsgSize + 39);
    EXPECT_EQ(body, "Hello\r--- Automatically added by Pelmar\r * Origin: Automatically added (2:5020/1)\r" +
                        std::string(1, '\0'));
    EXPECT_EQ(Le32(sqd, 256 + frm::MsgLength), kXmsgSize + 39 + body.size());
    EXPECT_EQ(Le32(sqd, 256 + frm::FrameLength), Le32(sqd, 256 + frm::MsgLength));
    EXPECT_EQ(Le32(sqd, x + xm::Attr),
              0x0100u | 0x0002 | 0x0080 | 0x0008 | 0x1000 | 0x4000 | 0x0010 | 0x00080000);
    EXPECT_EQ(sqd.substr(x + xm::From, 36), std::string(35, 'F') + '\0');
    EXPECT_EQ(sqd.substr(x + xm::To, 5), AnsiToOem(W("Всем")) + '\0');
    EXPECT_EQ(sqd.substr(x + xm::Subj, 72), std::string(70, 'S') + std::string(2, '\0'));
    EXPECT_EQ(Le16(sqd, x + xm::Orig), 2);
    EXPECT_EQ(Le16(sqd, x + xm::Orig + 2), 5020);
    EXPECT_EQ(Le16(sqd, x + xm::Orig + 4), 1);
    EXPECT_EQ(Le32(sqd, x + xm::Dest), 0u);
    EXPECT_EQ(sqd.substr(x + xm::FtscDate, 20), std::string("01 Dec 25  10:00:00") + '\0');
    EXPECT_EQ(Le32(sqd, x + xm::DateWritten), Le32(sqd, x + xm::DateArrived));
    EXPECT_GE(Le16(sqd, x + xm::DateWritten) >> 9, 2024 - 1980);  // written now
    for (size_t at = x + 172; at < x + xm::FtscDate; ++at) EXPECT_EQ(sqd[at], '\0') << at;

    const std::string sqi = b.Sqi();
    ASSERT_EQ(sqi.size(), 12u);
    EXPECT_EQ(Le32(sqi, 0), 256u);
    EXPECT_EQ(Le32(sqi, 4), 1u);
    EXPECT_EQ(Le32(sqi, 8), IndexHash(AnsiToOem(W("Всем")), 0));

    // And it reads back as written.
    b.Squish.ReadMessage(0);
    EXPECT_EQ(b.Squish.Subject, std::string(70, 'S'));
    EXPECT_EQ(b.Squish.ToName, W("Всем"));
    EXPECT_EQ(b.Squish.Attr,
              AttrLocal | AttrCrash | AttrKillSent | AttrSent | AttrRqRcpt | AttrReqAudit | AttrFileAttach);
    EXPECT_TRUE(b.Squish.Read);
    EXPECT_EQ(b.Squish.OrigAddr, "2:5020/1");
}

TEST(SquishWrite, NetmailGetsAddressLinesAndDirectFlag) {
    TBase b(Messages(1));
    b.Squish.Netmail = true;
    b.Squish.NewMessage();
    FillEcho(b.Squish, "Net");
    b.Squish.OrigAddr = "2:5020/1.5";
    b.Squish.DestAddr = "2:5020/2.7";
    b.Squish.Kludges = {"MSGID: 2:5020/1.5 00000001"};
    b.Squish.Attr = AttrDirect;
    b.Squish.Text = "Hi\n\r";
    ASSERT_TRUE(b.Squish.WriteMessage());
    EXPECT_SQUISH_CONSISTENT(b.Base);

    const std::string sqd = b.Sqd();
    const uint32_t at = Le32(sqd, hdr::LastFrame);
    const size_t x = at + kFrameSize;
    EXPECT_EQ(sqd.substr(x + kXmsgSize, Le32(sqd, at + frm::CLen)),
              std::string("\x01INTL 2:5020/2 2:5020/1\x01TOPT 7\x01"
                          "FMPT 5\x01MSGID: 2:5020/1.5 00000001\x01"
                          "FLAGS DIR") +
                  '\0');
    EXPECT_EQ(sqd.substr(x + kXmsgSize + Le32(sqd, at + frm::CLen)), std::string("Hi\r") + '\0');
    EXPECT_EQ(Le16(sqd, x + xm::Dest + 4), 2);
    EXPECT_EQ(Le16(sqd, x + xm::Dest + 6), 7);
    EXPECT_EQ(Le16(sqd, x + xm::Orig + 6), 5);
    EXPECT_EQ(Le32(sqd, x + xm::Attr), 0u);

    b.Squish.ReadMessage(1);
    EXPECT_EQ(b.Squish.OrigAddr, "2:5020/1.5");
    EXPECT_EQ(b.Squish.DestAddr, "2:5020/2.7");
    EXPECT_EQ(b.Squish.Attr, AttrDirect);
}

TEST(SquishWrite, DeletesMaintainBothChains) {
    TBase b(Messages(4));
    const std::vector<uint32_t> frames = MessageChain(b.Sqd());
    ASSERT_EQ(frames.size(), 4u);

    // The middle one: the others close ranks, the frame starts the free chain.
    ASSERT_TRUE(Delete(b.Squish, 1));
    EXPECT_SQUISH_CONSISTENT(b.Base);
    std::string sqd = b.Sqd();
    EXPECT_EQ(b.Squish.Count(), 3);
    EXPECT_EQ(b.Sqi().size(), 36u);
    EXPECT_EQ(Le32(sqd, hdr::FreeFrame), frames[1]);
    EXPECT_EQ(Le32(sqd, hdr::LastFreeFrame), frames[1]);
    EXPECT_EQ(Le32(sqd, frames[1] + frm::Prev), 0u);
    EXPECT_EQ(Le32(sqd, frames[1] + frm::Next), 0u);
    EXPECT_EQ(Le16(sqd, frames[1] + frm::Type), 1);
    std::vector<int32_t> visited;
    for (bool ok = b.Squish.First(); ok; ok = b.Squish.Next()) visited.push_back(b.Squish.Current);
    EXPECT_EQ(visited, (std::vector<int32_t>{0, 2, 3}));

    // The first: begin_frame moves on, the frame is linked after the first free one.
    ASSERT_TRUE(Delete(b.Squish, 0));
    EXPECT_SQUISH_CONSISTENT(b.Base);
    sqd = b.Sqd();
    EXPECT_EQ(Le32(sqd, hdr::BeginFrame), frames[2]);
    EXPECT_EQ(Le32(sqd, frames[1] + frm::Next), frames[0]);
    EXPECT_EQ(Le32(sqd, frames[0] + frm::Prev), frames[1]);
    EXPECT_EQ(Le32(sqd, hdr::LastFreeFrame), frames[0]);

    // The last: last_frame moves back.
    ASSERT_TRUE(Delete(b.Squish, 3));
    EXPECT_SQUISH_CONSISTENT(b.Base);
    EXPECT_EQ(Le32(b.Sqd(), hdr::LastFrame), frames[2]);

    // Deleting a deleted position changes nothing.
    const std::string before = b.Files();
    EXPECT_FALSE(Delete(b.Squish, 3));
    EXPECT_EQ(b.Files(), before);

    // The only one left: the chain is empty; a new message is appended, free frames stay free.
    ASSERT_TRUE(Delete(b.Squish, 2));
    EXPECT_SQUISH_CONSISTENT(b.Base);
    sqd = b.Sqd();
    EXPECT_EQ(Le32(sqd, hdr::BeginFrame), 0u);
    EXPECT_EQ(Le32(sqd, hdr::LastFrame), 0u);
    EXPECT_EQ(b.Squish.Count(), 0);
    EXPECT_FALSE(b.Squish.First());
    ASSERT_TRUE(Append(b.Squish, "After"));
    EXPECT_SQUISH_CONSISTENT(b.Base);
    EXPECT_EQ(Le32(b.Sqd(), hdr::BeginFrame), sqd.size());
    EXPECT_EQ(FreeChain(b.Sqd()).size(), 4u);
    EXPECT_EQ(b.Squish.Current, 4);
    EXPECT_EQ(Subjects(b.Base), std::vector<std::string>{"After"});
}

TEST(SquishWrite, RewriteMovesTheMessageToTheEnd) {
    for (int target : {0, 1, 2}) {
        SCOPED_TRACE("rewriting message " + std::to_string(target));
        TBase b(Messages(3));
        const std::vector<uint32_t> frames = MessageChain(b.Sqd());
        const uint64_t oldSize = b.Sqd().size();
        ASSERT_TRUE(Rewrite(b.Squish, target, "Edited"));
        EXPECT_SQUISH_CONSISTENT(b.Base);
        const std::string sqd = b.Sqd();
        const std::string sqi = b.Sqi();
        const std::vector<uint32_t> chain = MessageChain(sqd);
        ASSERT_EQ(chain.size(), 3u);
        EXPECT_EQ(chain[target], oldSize);  // same place in the chain, new frame at the old end
        EXPECT_EQ(Le32(sqi, target * 12 + 4), static_cast<uint32_t>(target + 1));  // UMSGID kept
        EXPECT_EQ(Le32(sqd, hdr::Uid), 4u);
        EXPECT_EQ(FreeChain(sqd), std::vector<uint32_t>{frames[target]});
        EXPECT_EQ(b.Squish.Current, target);
        std::vector<std::string> expected = {"Message 0", "Message 1", "Message 2"};
        expected[target] = "Edited";
        EXPECT_EQ(Subjects(b.Base), expected);

        // A second edit of the same message frees the first replacement.
        ASSERT_TRUE(Rewrite(b.Squish, target, "Again"));
        EXPECT_SQUISH_CONSISTENT(b.Base);
        EXPECT_EQ(FreeChain(b.Sqd()),
                  (std::vector<uint32_t>{frames[target], static_cast<uint32_t>(oldSize)}));
    }
}

TEST(SquishWrite, UnfinishedEditsLeaveTheBaseAsItWas) {
    TBase b(Messages(2));
    const std::string before = b.Files();
    b.Squish.NewMessage();
    b.Squish.Seek(0);
    b.Squish.PrepareRewrite();
    b.Squish.Close();
    EXPECT_EQ(b.Files(), before);

    b.Squish.Open();
    b.Squish.Seek(1);
    b.Squish.MarkRead();
    const std::string marked = b.Sqd();
    const uint32_t at = MessageChain(marked)[1];
    EXPECT_EQ(Le32(marked, at + kFrameSize + xm::Attr), 0x00080000u);
    std::string expected = before.substr(0, before.find('|'));
    PutLe32(expected, at + kFrameSize + xm::Attr, 0x00080000u);
    EXPECT_EQ(marked, expected);
}

TEST(SquishWrite, DamagedBaseIsRefusedAndLeftAlone) {
    struct TCase {
        const char* Name;
        std::function<void(TSquishBuilder&)> Damage;
        std::function<void(TSquish&)> Write;
    };
    const std::vector<TCase> cases = {
        {"last frame is not a frame", [](TSquishBuilder& b) { PutLe32(b.Sqd, hdr::LastFrame, 300); },
         [](TSquish& s) { Append(s, "x"); }},
        {"last frame past the end", [](TSquishBuilder& b) { PutLe32(b.Sqd, hdr::LastFrame, 0x7FFFFFF0); },
         [](TSquish& s) { Append(s, "x"); }},
        {"chain head without tail", [](TSquishBuilder& b) { PutLe32(b.Sqd, hdr::LastFrame, 0); },
         [](TSquish& s) { Append(s, "x"); }},
        {"neighbour of a deleted message",
         [](TSquishBuilder& b) { PutLe32(b.Sqd, MessageChain(b.Sqd)[1] + frm::Next, 0x7FFFFFF0); },
         [](TSquish& s) { Delete(s, 1); }},
        {"neighbour of a rewritten message",
         [](TSquishBuilder& b) { PutLe32(b.Sqd, MessageChain(b.Sqd)[1] + frm::Prev, 999); },
         [](TSquish& s) { Rewrite(s, 1, "x"); }},
        {"free chain tail", [](TSquishBuilder& b) { PutLe32(b.Sqd, hdr::LastFreeFrame, 256); },
         [](TSquish& s) { Delete(s, 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TSquishBuilder builder = Messages(3);
        builder.AddFree(40);
        c.Damage(builder);
        TBase b(builder);
        ASSERT_TRUE(b.Squish.Active);
        const std::string before = b.Files();
        EXPECT_THROW(c.Write(b.Squish), EReadError);
        EXPECT_EQ(b.Files(), before);
    }
}

TEST(SquishWrite, IndexLeftByAnInterruptedDeleteIsRepaired) {
    TSquishBuilder builder = Messages(2);
    builder.Sqi += builder.Sqi.substr(12, 12);  // rewritten, but not yet cut by one entry
    TBase b(builder);
    EXPECT_EQ(Subjects(b.Base), (std::vector<std::string>{"Message 0", "Message 1"}));
    ASSERT_TRUE(Append(b.Squish, "After"));
    EXPECT_SQUISH_CONSISTENT(b.Base);
    EXPECT_EQ(Subjects(b.Base), (std::vector<std::string>{"Message 0", "Message 1", "After"}));
}

TEST(SquishWrite, FlagFileAfterEchoWrite) {
    ScopedHome home;
    const std::string flag = (home.Path() / "echomail.flg").string();
    Settings.bEchoFlag = true;
    Settings.EchoFlag = flag;
    TBase b(Messages(1));
    ASSERT_TRUE(Append(b.Squish, "x"));
    EXPECT_SQUISH_CONSISTENT(b.Base);
    EXPECT_TRUE(std::filesystem::exists(flag));
    Settings.bEchoFlag = false;
    Settings.EchoFlag.clear();
}

// Random new, rewritten and deleted messages, by a long-lived object and by fresh ones (another
// writer), against a model of what the base must hold in chain order.
void RandomMix(const std::string& base, bool checkHashes, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<std::string> model = Subjects(base);
    TSquish keeper;
    keeper.SetPath(base);
    keeper.Open();
    ASSERT_TRUE(keeper.Active);
    // Others wrote since the keeper opened: its positions no longer line up with the model, and all
    // it may do is add messages, which must not lose what the others wrote.
    bool keeperStale = false;
    for (int step = 0; step < 120; ++step) {
        const bool byFresh = step % 5 == 4;
        TSquish fresh;
        TSquish* s = &keeper;
        if (byFresh) {
            fresh.SetPath(base);
            fresh.Open();
            s = &fresh;
        }
        std::vector<int32_t> live;
        for (bool ok = s->First(); ok; ok = s->Next()) live.push_back(s->Current);
        int op = live.empty() ? 0 : static_cast<int>(random() % 3);
        if (!byFresh && keeperStale) op = 0;
        const std::string subject = "Step " + std::to_string(step);
        SCOPED_TRACE("step " + std::to_string(step) + " op " + std::to_string(op));
        if (op == 0) {
            ASSERT_TRUE(Append(*s, subject));
            model.push_back(subject);
        } else {
            ASSERT_EQ(live.size(), model.size());
            const size_t k = random() % live.size();
            if (op == 1) {
                ASSERT_TRUE(Rewrite(*s, live[k], subject));
                model[k] = subject;
            } else {
                ASSERT_TRUE(Delete(*s, live[k]));
                model.erase(model.begin() + static_cast<std::ptrdiff_t>(k));
            }
        }
        EXPECT_SQUISH_CONSISTENT(base, false, checkHashes);
        ASSERT_EQ(Subjects(base), model);
        if (byFresh) {
            // The main window reopens a base when its area is selected again.
            keeperStale = random() % 2 == 0;
            if (!keeperStale) {
                keeper.Close();
                keeper.Open();
            }
        }
    }
}

TEST(SquishWrite, RandomMixOnABaseLaidOutHere) {
    TBase b(Messages(5));
    b.Squish.Close();
    RandomMix(b.Base, true, 7);
}

TEST(SquishWrite, RandomMixOnABaseOfAnotherProgram) {
    TempDir dir;
    CopyFixture("smapi/bases/squish/ru.test.sqd", dir.Path());
    CopyFixture("smapi/bases/squish/ru.test.sqi", dir.Path());
    RandomMix(dir.File("ru.test"), false, 11);
}

}  // namespace
}  // namespace pelmar::test

// Damaged bases: each broken message is a read error of its own, the walk goes on, nothing crashes,
// nothing is allocated from an unchecked length and nothing is written because it was read.
#include <filesystem>

#include "JamBuilder.h"
#include "JamTestUtil.h"
#include "core/Errors.h"

namespace pelmar::test {
namespace {

namespace fs = std::filesystem;

TBuildMessage Good(const std::string& subject) {
    return {{{JamSfSenderName, "Sender"}, {JamSfReceiverName, "All"}, {JamSfSubject, subject}},
            "Body of " + subject + "\r",
            0x01000000,
            0,
            0,
            BitwiseCrc32("all")};
}

class JamDamageTest : public JamTest {
protected:
    // Three good messages around the damaged one in the middle (position 1).
    TJamBuilder Around(const TBuildMessage& damaged) {
        TJamBuilder builder;
        builder.Add(Good("first"));
        builder.Add(damaged);
        builder.Add(Good("last"));
        return builder;
    }

    struct TWalk {
        std::vector<std::string> Subjects;  // of the messages read whole
        std::vector<int32_t> HeaderErrors;  // positions whose ReadHeader failed
        std::vector<int32_t> TextErrors;    // positions whose ReadMessage failed after a good header
    };

    // Walks like the message list does, then reads each message whole like the view does.
    TWalk Walk(const std::string& base) {
        TWalk walk;
        const std::string before =
            ReadFile(base + ".jhr") + ReadFile(base + ".jdt") + ReadFile(base + ".jdx");
        TJAM jam;
        jam.SetPath(base);
        jam.Open();
        EXPECT_TRUE(jam.Active);
        for (bool more = jam.First(); more; more = jam.Next()) {
            const int32_t position = jam.Current;
            try {
                jam.ReadMsgId();
                jam.ReadToAndRead();
                jam.ReadHeader();
            } catch (const EReadError&) {
                walk.HeaderErrors.push_back(position);
                EXPECT_THROW(jam.ReadMessage(position), EReadError);
                jam.Seek(position);
                continue;
            }
            try {
                jam.ReadMessage(position);
                walk.Subjects.push_back(jam.Subject);
            } catch (const EReadError&) {
                walk.TextErrors.push_back(position);
            }
            jam.Seek(position);
        }
        try {
            jam.CountUnread();
        } catch (const EReadError&) {
            // a damaged message stops the count; the scan reports it like any read error
        }
        jam.Close();
        EXPECT_EQ(ReadFile(base + ".jhr") + ReadFile(base + ".jdt") + ReadFile(base + ".jdx"), before);
        return walk;
    }

    void ExpectMiddleHeaderBroken(const TJamBuilder& builder) {
        builder.Write(BasePath());
        const TWalk walk = Walk(BasePath());
        EXPECT_EQ(walk.Subjects, (std::vector<std::string>{"first", "last"}));
        EXPECT_EQ(walk.HeaderErrors, (std::vector<int32_t>{1}));
        EXPECT_TRUE(walk.TextErrors.empty());
    }
};

TEST_F(JamDamageTest, IndexEntryPastTheEndOfTheHeaderFile) {
    TJamBuilder builder = Around(Good("middle"));
    for (const uint32_t offset :
         {uint32_t(builder.Jhr.size()), uint32_t(builder.Jhr.size() - 10), 0x7FFFFFF0u}) {
        TJamBuilder::Put32(builder.Jdx, 12, offset);
        ExpectMiddleHeaderBroken(builder);
    }
}

TEST_F(JamDamageTest, HeaderWithoutSignature) {
    TJamBuilder builder = Around(Good("middle"));
    builder.Jhr[builder.HeaderOffset(1) + 1] = 'X';
    ExpectMiddleHeaderBroken(builder);
}

TEST_F(JamDamageTest, SubfieldLengthBeyondTheFileOrTheSpaceLeft) {
    // Larger than the whole file, larger than the bytes left after the header, and huge.
    for (const uint32_t length : {100000u, 400u, 0xFFFFFFFFu, 0x7FFFFFFFu}) {
        TJamBuilder builder;
        builder.Add(Good("first"));
        builder.Add(Good("middle"));
        builder.Add(Good("last"));
        // Let the middle header be the last record in the file so that "space left" is what counts.
        const uint32_t last = builder.HeaderOffset(2);
        const std::string lastRecord = builder.Jhr.substr(last);
        builder.Jhr.erase(last);
        const uint32_t middle = builder.HeaderOffset(1);
        std::string middleRecord = builder.Jhr.substr(middle);
        builder.Jhr.erase(middle);
        builder.Jhr += lastRecord;
        TJamBuilder::Put32(builder.Jdx, 16 + 4, middle);
        TJamBuilder::Put32(builder.Jdx, 8 + 4, uint32_t(builder.Jhr.size()));
        TJamBuilder::Put32(middleRecord, 8, length);
        builder.Jhr += middleRecord;
        SCOPED_TRACE(length);
        ExpectMiddleHeaderBroken(builder);
    }
}

TEST_F(JamDamageTest, SubfieldRunningPastSubfieldLen) {
    TJamBuilder builder = Around(Good("middle"));
    // DatLen of the subject subfield (the third) grows past the block; the header stays in the file.
    const uint32_t subject = builder.HeaderOffset(1) + 76 + (8 + 6) + (8 + 3);
    TJamBuilder::Put32(builder.Jhr, subject + 4, 30);
    ExpectMiddleHeaderBroken(builder);

    // A block cut inside a subfield header.
    TJamBuilder cut = Around(Good("middle"));
    TJamBuilder::Put32(cut.Jhr, cut.HeaderOffset(1) + 8, (8 + 6) + (8 + 3) + 5);
    ExpectMiddleHeaderBroken(cut);
}

TEST_F(JamDamageTest, TextPastTheEndOfTheTextFile) {
    TJamBuilder builder = Around(Good("middle"));
    TJamBuilder::Put32(builder.Jhr, builder.HeaderOffset(1) + 64, 0x7FFFFFFF);  // TxtLen
    builder.Write(BasePath());
    TWalk walk = Walk(BasePath());
    EXPECT_EQ(walk.Subjects, (std::vector<std::string>{"first", "last"}));
    EXPECT_EQ(walk.TextErrors, (std::vector<int32_t>{1}));

    TJamBuilder offset = Around(Good("middle"));
    TJamBuilder::Put32(offset.Jhr, offset.HeaderOffset(1) + 60, 0xFFFFFFF0);  // TxtOffset
    offset.Write(BasePath());
    walk = Walk(BasePath());
    EXPECT_EQ(walk.TextErrors, (std::vector<int32_t>{1}));
}

TEST_F(JamDamageTest, IndexOfAnOddSizeIsReadToItsLastWholeEntryAndRepairedByAWrite) {
    TJamBuilder builder = Around(Good("middle"));
    builder.Jdx += "\x01\x02\x03";
    builder.Write(BasePath());
    TWalk walk = Walk(BasePath());
    EXPECT_EQ(walk.Subjects, (std::vector<std::string>{"first", "middle", "last"}));

    TJAM jam;
    jam.SetPath(BasePath());
    jam.Open();
    ASSERT_EQ(jam.Index.size(), 3u);
    Post(jam, "A", "All", "fourth");
    EXPECT_EQ(jam.Current, 3);
    EXPECT_EQ(fs::file_size(BasePath() + ".jdx"), 32u);
    EXPECT_EQ(CheckerReport(BasePath()), "");
}

TEST_F(JamDamageTest, EmptyAndUnknownSubfieldsAreSkipped) {
    TBuildMessage message = Good("subject");
    message.Subfields.push_back({JamSfEnclosedFile, "FILE.ZIP"});
    message.Subfields.push_back({JamSfFtsKludge, ""});
    message.Subfields.push_back({2999, "unknown"});
    message.Subfields.push_back({JamSfTzUtcInfo, ""});
    message.Subfields.push_back({JamSfPid, "Tool"});
    message.Text.clear();
    TJamBuilder builder;
    builder.Add(message);
    builder.Write(BasePath());
    TJAM jam;
    jam.SetPath(BasePath());
    jam.Open();
    jam.ReadMessage(0);
    EXPECT_EQ(jam.Subject, "FILE.ZIP");
    EXPECT_EQ(jam.Kludges, (std::vector<std::string>{"PID: Tool"}));
    EXPECT_EQ(jam.Text, "");
    EXPECT_EQ(jam.RtfText, "");
}

TEST_F(JamDamageTest, PositionsOutsideTheIndexAreReadErrors) {
    TJamBuilder builder = Around(Good("middle"));
    builder.Write(BasePath());
    TJAM jam;
    jam.SetPath(BasePath());
    jam.Open();
    for (const int32_t position : {-1, 3, 1000000}) {
        EXPECT_THROW(jam.ReadMessage(position), EReadError);
        jam.Seek(position);
        EXPECT_FALSE(jam.IsValid());
        EXPECT_THROW(jam.ReadMsgId(), EReadError);
        EXPECT_THROW(jam.MarkRead(), EReadError);
    }
    jam.Seek(-5);
    EXPECT_TRUE(jam.Next());
    EXPECT_EQ(jam.Current, 0);
}

TEST_F(JamDamageTest, DamagedHeadersAreNeitherMarkedNorDeleted) {
    TJamBuilder builder = Around(Good("middle"));
    builder.Jhr[builder.HeaderOffset(1)] = 'X';
    builder.Write(BasePath());
    const std::string before = ReadFile(BasePath() + ".jhr") + ReadFile(BasePath() + ".jdx");
    TJAM jam;
    jam.SetPath(BasePath());
    jam.Open();
    jam.Seek(1);
    EXPECT_THROW(jam.MarkRead(), EReadError);
    EXPECT_THROW(jam.DeleteCurrent(), EReadError);
    EXPECT_EQ(ReadFile(BasePath() + ".jhr") + ReadFile(BasePath() + ".jdx"), before);
    // The lock is released again after the failed delete.
    Post(jam, "A", "All", "after");
}

TEST_F(JamDamageTest, BaseHeaderDamagedAfterOpenStopsWrites) {
    TJamBuilder builder = Around(Good("middle"));
    builder.Write(BasePath());
    TJAM jam;
    jam.SetPath(BasePath());
    jam.Open();
    std::string jhr = ReadFile(BasePath() + ".jhr");
    jhr[2] = 'X';
    WriteFile(BasePath() + ".jhr", jhr);
    jam.NewMessage();
    jam.ToName = "All";
    EXPECT_THROW(jam.WriteMessage(), EReadError);
    EXPECT_EQ(ReadFile(BasePath() + ".jhr"), jhr);
    EXPECT_EQ(fs::file_size(BasePath() + ".jdx"), 24u);
}

}  // namespace
}  // namespace pelmar::test

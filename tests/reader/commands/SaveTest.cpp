// Saving messages of the JAM area a tosser wrote: names, header blocks, RTF, a failed write.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "areas/gizmo.h"
#include "core/Settings.h"
#include "msgbase/Jam.h"
#include "reader/MessageTransfer.h"
#include "reader/ReadingCommands.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

class SaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings = TSettings{};
        area.AreaName = area.Description = "RU.TEST";
        for (const char* ext : {".jhr", ".jdt", ".jdx", ".jlr"})
            test::CopyFixture(std::string("crashmail/bases/rutest") + ext, bases.Path());
        jam.SetPath(bases.File("rutest"));
        jam.Open();
        ASSERT_TRUE(jam.Active);
    }
    void TearDown() override { Settings = TSettings{}; }

    TListedMessage Listed(int32_t position) {
        jam.Seek(position);
        jam.ReadHeader();
        return {position, {jam.MsgId, jam.FromName, jam.ToName, jam.Subject, jam.Date}, false};
    }

    std::vector<TItemOutcome> Save(const std::vector<TListedMessage>& items, TSaveFormat format,
                                   const std::string& name) {
        return SaveListed(area, jam, items, format, out.File(name), 2,
                          [](TDateTime) { return std::string("01.12.2026 10:00:00"); });
    }
    static int Count(const std::vector<TItemOutcome>& outcomes, TItemResult result) {
        return static_cast<int>(std::count(outcomes.begin(), outcomes.end(), result));
    }

    test::ScopedHome home;
    test::TempDir bases, out;
    TJAM jam;
    TAreaInfo area;
};

TEST_F(SaveTest, ThreeMessagesGetNumberedNamesAndTheirOwnHeaders) {
    EXPECT_EQ(Count(Save({Listed(0), Listed(1), Listed(2)}, TSaveFormat::TextWithHeader, "a.txt"),
                    TItemResult::Done),
              3);
    EXPECT_FALSE(std::filesystem::exists(out.File("a.txt")));
    const std::string first = test::ReadFile(out.File("a1.txt"));
    const std::string second = test::ReadFile(out.File("a2.txt"));
    EXPECT_EQ(first.rfind(std::string(61, '-') + "\n Конференция: RU.TEST\n", 0), 0u) << first;
    EXPECT_NE(first.find("\nПривет всем!\n"), std::string::npos) << first;
    EXPECT_NE(second.find(" От:          Сергей Сидоров [2:5020/3.7]\n"), std::string::npos) << second;
    EXPECT_EQ(first.find('\r'), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(out.File("a3.txt")));
}

TEST_F(SaveTest, OneMessageUsesTheChosenNameWithoutHeader) {
    EXPECT_EQ(Count(Save({Listed(0)}, TSaveFormat::Text, "letter.txt"), TItemResult::Done), 1);
    const std::string text = test::ReadFile(out.File("letter.txt"));
    EXPECT_EQ(text.rfind("Привет всем!\n", 0), 0u) << text;
}

TEST_F(SaveTest, RtfKeepsTheWindowsBytesAndSaysSo) {
    Settings.ColourText = false;  // the saved document is the coloured one anyway
    EXPECT_EQ(Count(Save({Listed(1)}, TSaveFormat::Rtf, "m.rtf"), TItemResult::Done), 1);
    const std::string rtf = test::ReadFile(out.File("m.rtf"));
    EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg1251\\deftab720", 0), 0u) << rtf.substr(0, 60);
    EXPECT_NE(rtf.find("\\colortbl"), std::string::npos);
    EXPECT_NE(rtf.find("\xCF\xF0\xE8\xE2\xE5\xF2"), std::string::npos);  // "Привет" in CP1251
}

TEST_F(SaveTest, EachItemGetsItsOutcomeAndAFailedWriteStops) {
    std::vector<TListedMessage> items = {Listed(0), Listed(1), Listed(2)};
    items[1].Identity.Subject = "changed meanwhile";
    const std::vector<TItemOutcome> saved = Save(items, TSaveFormat::Text, "b.txt");
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(saved[0], TItemResult::Done);
    EXPECT_EQ(saved[1], TItemResult::Changed);
    EXPECT_EQ(saved[2], TItemResult::Done);
    EXPECT_FALSE(std::filesystem::exists(out.File("b3.txt")));  // numbers count the saved files
    EXPECT_NE(OutcomeSummary("t", saved).find("RU.TEST: "), std::string::npos);

    // The first file lands; the second name is taken by a folder, so the rest are not tried.
    std::filesystem::create_directory(out.File("c2.txt"));
    const std::vector<TItemOutcome> failed =
        Save({Listed(0), Listed(1), Listed(2)}, TSaveFormat::Text, "c.txt");
    ASSERT_EQ(failed.size(), 3u);
    EXPECT_EQ(failed[0], TItemResult::Done);
    EXPECT_EQ(failed[1], TItemResult::Failed);
    EXPECT_NE(failed[1].Reason.find(out.File("c2.txt")), std::string::npos) << failed[1].Reason;
    EXPECT_EQ(failed[2], TItemResult::Failed);
    EXPECT_FALSE(std::filesystem::exists(out.File("c3.txt")));
}

}  // namespace
}  // namespace pelmar

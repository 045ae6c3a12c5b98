// Saving messages of the JAM area a tosser wrote: names, header blocks, RTF, a failed write.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

    TSaveOutcome Save(const std::vector<TListedMessage>& items, TSaveFormat format, const std::string& name) {
        return SaveListed(jam, items, format, out.File(name), "RU.TEST", 2,
                          [](TDateTime) { return std::string("01.12.2026 10:00:00"); });
    }

    test::ScopedHome home;
    test::TempDir bases, out;
    TJAM jam;
};

TEST_F(SaveTest, ThreeMessagesGetNumberedNamesAndTheirOwnHeaders) {
    const TSaveOutcome outcome =
        Save({Listed(0), Listed(1), Listed(2)}, TSaveFormat::TextWithHeader, "a.txt");
    EXPECT_EQ(outcome.Written, 3);
    EXPECT_TRUE(outcome.Error.empty());
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
    EXPECT_EQ(Save({Listed(0)}, TSaveFormat::Text, "letter.txt").Written, 1);
    const std::string text = test::ReadFile(out.File("letter.txt"));
    EXPECT_EQ(text.rfind("Привет всем!\n", 0), 0u) << text;
}

TEST_F(SaveTest, RtfKeepsTheWindowsBytesAndSaysSo) {
    Settings.ColourText = false;  // the saved document is the coloured one anyway
    EXPECT_EQ(Save({Listed(1)}, TSaveFormat::Rtf, "m.rtf").Written, 1);
    const std::string rtf = test::ReadFile(out.File("m.rtf"));
    EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg1251\\deftab720", 0), 0u) << rtf.substr(0, 60);
    EXPECT_NE(rtf.find("\\colortbl"), std::string::npos);
    EXPECT_NE(rtf.find("\xCF\xF0\xE8\xE2\xE5\xF2"), std::string::npos);  // "Привет" in CP1251
}

TEST_F(SaveTest, AChangedMessageIsNotSavedAndAFailedWriteStops) {
    std::vector<TListedMessage> items = {Listed(0), Listed(1), Listed(2)};
    items[1].Identity.Subject = "changed meanwhile";
    EXPECT_EQ(Save(items, TSaveFormat::Text, "b.txt").Changed, 1);

    const TSaveOutcome failed = SaveListed(jam, {Listed(0), Listed(1)}, TSaveFormat::Text,
                                           out.File("missing/folder/c.txt"), "", 2, nullptr);
    EXPECT_EQ(failed.Written, 0);
    EXPECT_FALSE(failed.Error.empty());
}

}  // namespace
}  // namespace pelmar

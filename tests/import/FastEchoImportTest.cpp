// FASTECHO.CFG files built field by field: base kinds, own addresses, split names, damaged files.
#include <gtest/gtest.h>

#include <random>

#include "FastEchoBuilder.h"
#include "areas/gizmo.h"
#include "core/Errors.h"
#include "import/FastEchoImport.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

using test::TFastEchoBuilder;
using test::TFeArea;

class FastEchoImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        builder_.HudsonDir = "C:\\MSGS";
        builder_.Addresses = {{2, 5030, 100, 0}, {2, 5030, 100, 5}, {21, 1, 1, 0}};
        // Blocks of other kinds around the address block, and node records, shift the areas.
        builder_.BlocksBefore = {{2, std::string(77, '\x01')}};
        builder_.BlocksAfter = {{9, std::string(13, '\x07')}};
        builder_.NodeCount = 3;
        builder_.NodeSize = 120;
    }

    // Writes the file and imports it.
    void Import(const std::string& bytes, bool split = false) {
        test::WriteFile(file(), bytes);
        ImportFastEchoConfig(file(), container_, split);
    }
    std::string file() const { return dir_.File("FASTECHO.CFG"); }

    test::TempDir dir_;
    TFastEchoBuilder builder_;
    TAreaInfo container_;
};

TEST_F(FastEchoImportTest, BaseKindsAddressesAndTexts) {
    builder_.Areas = {
        {"SU.GENERAL", 3, "/nonexistent/jam/sugen", "General talk", 0, 1},
        {"R50.SYSOP", 2, "/nonexistent/sq/r50", "Sysops", 0, 0},
        {"NETMAIL", 0x11, "/nonexistent/netmail", "", 0, 2},
        {"SU.HARDW", 0, "", "Hardware", 12, 0},
        {"PASS.THRU", 7, "/nonexistent/pass", "", 0, 0},
        {"ODD.BOARD", 0, "", "", 250, 0},
    };
    Import(builder_.Build());

    ASSERT_EQ(container_.ChildCount(), 4);
    const TAreaInfo* jam = container_.FindChild("Su.General");
    ASSERT_NE(jam, nullptr);
    EXPECT_EQ(jam->Kind, 2);
    EXPECT_EQ(jam->Path, "/nonexistent/jam/sugen");
    EXPECT_EQ(jam->AreaName, "SU.GENERAL");
    EXPECT_EQ(jam->Description, "General talk");
    EXPECT_EQ(jam->UseAKA, "2:5030/100.5");
    EXPECT_FALSE(jam->IsNetmail);
    EXPECT_EQ(jam->Zilo, ZiloOrdinary);

    const TAreaInfo* squish = container_.FindChild("R50.Sysop");
    ASSERT_NE(squish, nullptr);
    EXPECT_EQ(squish->Kind, 4);
    EXPECT_EQ(squish->UseAKA, "2:5030/100");

    const TAreaInfo* netmail = container_.FindChild("Netmail");
    ASSERT_NE(netmail, nullptr);
    EXPECT_EQ(netmail->Kind, 1);
    EXPECT_TRUE(netmail->IsNetmail);
    EXPECT_EQ(netmail->UseAKA, "21:1/1");

    const TAreaInfo* hudson = container_.FindChild("Su.Hardw");
    ASSERT_NE(hudson, nullptr);
    EXPECT_EQ(hudson->Kind, 3);
    EXPECT_EQ(hudson->Path, std::string("\x0C") + "C:\\MSGS");

    EXPECT_EQ(container_.FindChild("Pass.Thru"), nullptr);
    EXPECT_EQ(container_.FindChild("Odd.Board"), nullptr);
}

TEST_F(FastEchoImportTest, ProperCaseAndRepeatedNames) {
    builder_.Areas = {
        {"ru.fido.MISC", 1, "/first", "", 0, 0},
        {"RU.FIDO.misc", 2, "/second", "last wins", 0, 1},
        {"XX", 0, "", "board 0 is no board", 0, 0},
    };
    Import(builder_.Build());
    ASSERT_EQ(container_.ChildCount(), 1);
    const TAreaInfo* area = container_.Child(0);
    EXPECT_EQ(area->Name, "Ru.Fido.Misc");
    EXPECT_EQ(area->Kind, 4);
    EXPECT_EQ(area->Path, "/second");
    EXPECT_EQ(area->AreaName, "RU.FIDO.misc");
    EXPECT_EQ(area->Description, "last wins");
}

TEST_F(FastEchoImportTest, SplitNamesMakeFolders) {
    builder_.Areas = {
        {"SU.HARDW.SELL", 2, "/sq/sell", "", 0, 0}, {"SU.HARDW.BUY", 2, "/sq/buy", "", 0, 0},
        {"SU.GENERAL", 3, "/jam/gen", "", 0, 0},    {"LOCAL", 1, "/msg/local", "", 0, 0},
        {"ODD..NAME.", 1, "/msg/odd", "", 0, 0},
    };
    Import(builder_.Build(), true);

    ASSERT_EQ(container_.ChildCount(), 3);
    TAreaInfo* su = container_.FindChild("Su");
    ASSERT_NE(su, nullptr);
    EXPECT_EQ(su->Kind, AreaKindFolder);
    ASSERT_EQ(su->ChildCount(), 2);
    TAreaInfo* hardw = su->FindChild("Hardw");
    ASSERT_NE(hardw, nullptr);
    EXPECT_EQ(hardw->Kind, AreaKindFolder);
    ASSERT_EQ(hardw->ChildCount(), 2);
    const TAreaInfo* sell = hardw->FindChild("Sell");
    ASSERT_NE(sell, nullptr);
    EXPECT_EQ(sell->Kind, 4);
    EXPECT_EQ(sell->AreaName, "SU.HARDW.SELL");
    EXPECT_EQ(sell->Path, "/sq/sell");
    EXPECT_EQ(su->FindChild("General")->Kind, 2);
    EXPECT_EQ(container_.FindChild("Local")->Kind, 1);
    // Empty parts are passed over rather than giving nameless entries.
    const TAreaInfo* odd = container_.FindChild("Odd");
    ASSERT_NE(odd, nullptr);
    ASSERT_NE(odd->FindChild("Name"), nullptr);
    EXPECT_EQ(odd->FindChild("Name")->Path, "/msg/odd");
}

TEST_F(FastEchoImportTest, AddressBlockLargerThanItsCountIsSkippedWhole) {
    // Room for unused addresses after the used ones: the next block starts after all of it.
    builder_.AkaBlockSlack = 4;
    builder_.BlocksAfter = {{7, std::string(42, '\x09')}};  // a second address block, appended
    builder_.AkaCount = 3;
    builder_.Areas = {{"A", 1, "/a", "", 0, 2}, {"B", 1, "/b", "", 0, 3}};
    Import(builder_.Build());
    ASSERT_EQ(container_.ChildCount(), 2);
    EXPECT_EQ(container_.FindChild("A")->UseAKA, "21:1/1");
    EXPECT_EQ(container_.FindChild("B")->UseAKA, "2313:2313/2313.2313");
}

TEST_F(FastEchoImportTest, LongTextsEndAtTheirField) {
    const std::string name(60, 'N');
    const std::string path(70, 'p');
    const std::string description(60, 'd');
    builder_.Areas = {{name, 1, path, description, 0, 0}};
    Import(builder_.Build());
    ASSERT_EQ(container_.ChildCount(), 1);
    const TAreaInfo* area = container_.Child(0);
    EXPECT_EQ(area->AreaName, std::string(52, 'N'));
    EXPECT_EQ(area->Path, dir_.File(std::string(56, 'p')));
    EXPECT_EQ(area->Description, std::string(52, 'd'));
}

TEST_F(FastEchoImportTest, DamagedFilesRaiseAfterWhatCouldBeRead) {
    builder_.Areas = {{"FIRST", 1, "/a", "", 0, 0}, {"SECOND", 1, "/b", "", 0, 0}};
    const std::string good = builder_.Build();

    {
        SCOPED_TRACE("header cut short");
        TAreaInfo container;
        test::WriteFile(file(), good.substr(0, 4000));
        EXPECT_THROW(ImportFastEchoConfig(file(), container, false), EReadError);
        EXPECT_EQ(container.ChildCount(), 0);
    }
    {
        SCOPED_TRACE("last area record cut short");
        TAreaInfo container;
        test::WriteFile(file(), good.substr(0, good.size() - 10));
        EXPECT_THROW(ImportFastEchoConfig(file(), container, false), EReadError);
        ASSERT_EQ(container.ChildCount(), 1);
        EXPECT_EQ(container.Child(0)->Name, "First");
    }
    {
        SCOPED_TRACE("area count past the end");
        TFastEchoBuilder builder = builder_;
        builder.AreaCount = 65535;
        TAreaInfo container;
        test::WriteFile(file(), builder.Build());
        EXPECT_THROW(ImportFastEchoConfig(file(), container, false), EReadError);
        EXPECT_EQ(container.ChildCount(), 2);
    }
    {
        SCOPED_TRACE("node records past the end");
        TFastEchoBuilder builder = builder_;
        std::string bytes = builder.Build();
        bytes[fastecho::NodeCountOffset] = '\xFF';
        bytes[fastecho::NodeCountOffset + 1] = '\xFF';
        bytes[fastecho::NodeSizeOffset + 1] = '\xFF';
        TAreaInfo container;
        test::WriteFile(file(), bytes);
        EXPECT_THROW(ImportFastEchoConfig(file(), container, false), EReadError);
        EXPECT_EQ(container.ChildCount(), 0);
    }
    {
        SCOPED_TRACE("extension blocks past the end");
        std::string bytes = good;
        bytes[fastecho::ExtensionSizeOffset + 3] = '\x7F';
        TAreaInfo container;
        test::WriteFile(file(), bytes);
        EXPECT_THROW(ImportFastEchoConfig(file(), container, false), EReadError);
        EXPECT_EQ(container.ChildCount(), 0);
    }
    {
        // The walk ends at a block claiming more than the extension area; the areas are not
        // found through the blocks, so they still load.
        SCOPED_TRACE("address block larger than the extension area");
        std::string bytes = good;
        const size_t akaBlock = fastecho::HeaderSize + fastecho::BlockHeaderSize + 77;
        bytes[akaBlock + 2 + 3] = '\x40';
        TAreaInfo container;
        test::WriteFile(file(), bytes);
        EXPECT_NO_THROW(ImportFastEchoConfig(file(), container, false));
        EXPECT_EQ(container.ChildCount(), 2);
    }
    {
        SCOPED_TRACE("missing file");
        TAreaInfo container;
        EXPECT_THROW(ImportFastEchoConfig(dir_.File("none.cfg"), container, false), EReadError);
    }
}

TEST_F(FastEchoImportTest, AddressIndexBeyondTheListIsAnError) {
    builder_.AkaCount = 5;  // more than the block holds: only what is there counts
    builder_.Areas = {{"OK", 1, "/a", "", 0, 2}, {"BAD", 1, "/b", "", 0, 3}, {"AFTER", 1, "/c", "", 0, 0}};
    test::WriteFile(file(), builder_.Build());
    EXPECT_THROW(ImportFastEchoConfig(file(), container_, false), EReadError);
    ASSERT_EQ(container_.ChildCount(), 1);
    EXPECT_EQ(container_.Child(0)->Name, "Ok");
}

// Damage anywhere gives areas or an EReadError, nothing else (run under valgrind or a sanitizer
// to see out-of-bounds reads).
TEST_F(FastEchoImportTest, RandomDamageGivesAreasOrAReadError) {
    builder_.Areas = {
        {"SU.HARDW.SELL", 3, "/j", "d", 0, 1}, {"A", 0, "", "", 5, 2}, {"B", 2, "/s", "", 0, 0}};
    const std::string good = builder_.Build();
    // Bytes worth hitting: the header's counts and sizes, the block headers, the records' fields.
    const std::vector<size_t> hot = {fastecho::NodeCountOffset,     fastecho::AreaCountOffset,
                                     fastecho::AkaCountOffset,      fastecho::NodeSizeOffset,
                                     fastecho::ExtensionSizeOffset, fastecho::ExtensionSizeOffset + 2,
                                     fastecho::HeaderSize,          fastecho::HeaderSize + 2,
                                     fastecho::HeaderSize + 85,     fastecho::HeaderSize + 87};
    std::mt19937 random(20261209);
    for (int round = 0; round < 300; ++round) {
        std::string bytes = good;
        for (int hit = 0; hit < 3; ++hit) {
            const size_t at =
                (random() % 2 == 0) ? hot[random() % hot.size()] + random() % 2 : random() % bytes.size();
            bytes[at] = static_cast<char>(random());
        }
        if (round % 7 == 0) bytes.resize(random() % bytes.size());
        TAreaInfo container;
        test::WriteFile(file(), bytes);
        for (const bool split : {false, true}) {
            try {
                ImportFastEchoConfig(file(), container, split);
            } catch (const EReadError&) {
            }
        }
        for (int i = 0; i < container.ChildCount(); ++i) EXPECT_FALSE(container.Child(i)->Name.empty());
    }
}

}  // namespace
}  // namespace pelmar

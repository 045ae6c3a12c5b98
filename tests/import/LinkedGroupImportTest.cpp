// Linked groups of every kind filled from their configuration files when the area tree loads.
#include <gtest/gtest.h>

#include <filesystem>

#include "FastEchoBuilder.h"
#include "areas/gizmo.h"
#include "core/Settings.h"
#include "import/AreaImport.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

class LinkedGroupImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings;
        Settings.BaseKey = RootKey + "\\Users\\ImportTester";
        Settings.SelfAKA = {"2:5020/1.3"};
        RegisterAreaImporters();
        base_ = home_.Path() / "fido";
        fs::create_directories(base_ / "msg" / "netmail");
        fs::create_directories(base_ / "msg" / "boxes" / "vasya");
        test::WriteFile(base_ / "msg" / "r50.sqd", "");
        test::WriteFile(base_ / "msg" / "r50.sqi", "");
    }
    void TearDown() override {
        for (int kind : {LinkKindFastEcho, LinkKindSquish, LinkKindTMail, LinkKindAreasBbs})
            SetAreaImporter(kind, nullptr);
        Settings = saved_;
    }

    TAreaInfo& AddGroup(TAreaInfo& parent, const std::string& name, int kind, const fs::path& file,
                        int options = 1, const std::string& description = "") {
        auto group = std::make_unique<TAreaInfo>();
        group->Name = name;
        group->Zilo = ZiloLinkedGroup;
        group->Kind = kind;
        group->Path = file.string();
        group->Read = options;
        group->Description = description;
        return *parent.AddChild(std::move(group));
    }

    test::ScopedHome home_;
    TSettings saved_;
    fs::path base_;
};

TEST_F(LinkedGroupImportTest, EveryKindRefreshesOnLoad) {
    // Paths written in another letter case, as configuration files from DOS have them.
    const std::string upper = (base_ / "MSG").string();

    test::TFastEchoBuilder fastEcho;
    fastEcho.Addresses = {{2, 5020, 1, 0}};
    fastEcho.Areas = {{"SU.GENERAL", 2, upper + "/R50", "General", 0, 0},
                      {"RU.NETMAIL", 0x11, upper + "/NETMAIL", "", 0, 0}};
    test::WriteFile(home_.Path() / "FASTECHO.CFG", fastEcho.Build());
    test::WriteFile(home_.Path() / "SQUISH.CFG", "Address 2:5020/1\nEchoArea R50.SYSOP " + upper +
                                                     "/R50 -$\nNetArea NETMAIL " + upper + "/NETMAIL\n");
    test::WriteFile(home_.Path() / "T-MAIL.CTL", "Address 2:5020/1\nMail_In " + upper +
                                                     "/NETMAIL\nMailBox Vasya = " + upper + "/BOXES/VASYA\n");
    test::WriteFile(home_.Path() / "AREAS.BBS", "Station ! Sysop\n$" + upper + "/R50 RU.FIDO 2:5020/1\n");

    {
        TAreaManager manager;
        TAreaInfo& fido = *manager.Root().AddChild(std::make_unique<TAreaInfo>());
        fido.Name = "Fido";
        AddGroup(fido, "FastEcho", LinkKindFastEcho, home_.Path() / "FASTECHO.CFG", 0);
        AddGroup(fido, "Squish", LinkKindSquish, home_.Path() / "SQUISH.CFG", 4);
        AddGroup(fido, "TMail", LinkKindTMail, home_.Path() / "T-MAIL.CTL");
        AddGroup(fido, "Areas.BBS", LinkKindAreasBbs, home_.Path() / "AREAS.BBS", 1, "/hudson");
        ASSERT_TRUE(manager.SaveAreas());
    }

    TAreaManager manager;
    manager.LoadAreas();
    TAreaInfo* fido = manager.Root().FindChild("Fido");
    ASSERT_NE(fido, nullptr);

    // FastEcho with Read 0: names split into folders.
    TAreaInfo* fastEchoGroup = fido->FindChild("FastEcho");
    ASSERT_NE(fastEchoGroup, nullptr);
    ASSERT_NE(fastEchoGroup->FindChild("Su"), nullptr);
    const TAreaInfo* general = fastEchoGroup->FindChild("Su")->FindChild("General");
    ASSERT_NE(general, nullptr);
    EXPECT_EQ(general->Path, (base_ / "msg" / "r50").string());
    EXPECT_EQ(general->Description, "General");
    EXPECT_EQ(fastEchoGroup->FindChild("Ru")->FindChild("Netmail")->Path,
              (base_ / "msg" / "netmail").string());

    // Squish with echomail only.
    TAreaInfo* squishGroup = fido->FindChild("Squish");
    ASSERT_NE(squishGroup, nullptr);
    ASSERT_EQ(squishGroup->ChildCount(), 1);
    TAreaInfo* sysop = squishGroup->FindChild("R50.SYSOP");
    ASSERT_NE(sysop, nullptr);
    EXPECT_EQ(sysop->Kind, 4);
    EXPECT_EQ(sysop->Path, (base_ / "msg" / "r50").string());

    TAreaInfo* tmailGroup = fido->FindChild("TMail");
    ASSERT_NE(tmailGroup, nullptr);
    ASSERT_EQ(tmailGroup->ChildCount(), 2);
    TAreaInfo* netmail = tmailGroup->FindChild("Netmail");
    ASSERT_NE(netmail, nullptr);
    EXPECT_EQ(netmail->Path, (base_ / "msg" / "netmail").string());
    EXPECT_EQ(tmailGroup->FindChild("Vasya")->Path, (base_ / "msg" / "boxes" / "vasya").string());
    // The resolved folder opens as a *.MSG base.
    {
        TOpenedBase opened(*netmail, TBaseMode::Private);
        EXPECT_TRUE(opened);
    }

    TAreaInfo* bbsGroup = fido->FindChild("Areas.BBS");
    ASSERT_NE(bbsGroup, nullptr);
    ASSERT_EQ(bbsGroup->ChildCount(), 1);
    EXPECT_EQ(bbsGroup->Child(0)->Name, "Ru.Fido");
    EXPECT_EQ(bbsGroup->Child(0)->UseAKA, "2:5020/1.3");
    EXPECT_EQ(bbsGroup->Child(0)->Kind, 4);

    // Areas of a linked group are shown beside it, under its parent.
    EXPECT_EQ(sysop->ShownParent(), fido);
}

TEST_F(LinkedGroupImportTest, DamagedFastEchoFileLeavesTheGroupAsItWas) {
    TAreaManager manager;
    const fs::path file = home_.Path() / "FASTECHO.CFG";
    test::TFastEchoBuilder fastEcho;
    fastEcho.Addresses = {{2, 5020, 1, 0}};
    fastEcho.Areas = {{"R50.SYSOP", 1, "/r50", "", 0, 0}, {"SU.GENERAL", 1, "/sugen", "", 0, 0}};
    test::WriteFile(file, fastEcho.Build());
    TAreaInfo& group = AddGroup(manager.Root(), "FastEcho", LinkKindFastEcho, file, 1);
    ASSERT_TRUE(group.RefreshLinkedGroup());
    ASSERT_EQ(group.ChildCount(), 2);
    const std::string id = group.FindChild("R50.Sysop")->ID;

    // Cut inside the last record: the refresh fails and keeps both areas.
    const std::string bytes = fastEcho.Build();
    test::WriteFile(file, bytes.substr(0, bytes.size() - 100));
    EXPECT_FALSE(group.RefreshLinkedGroup());
    ASSERT_EQ(group.ChildCount(), 2);
    EXPECT_EQ(group.FindChild("R50.Sysop")->ID, id);
}

}  // namespace
}  // namespace pelmar

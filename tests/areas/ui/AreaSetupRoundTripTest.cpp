// A fresh home set up through the area manager: folders, areas of the bases other programs wrote,
// a linked group; after a restart the tree is there and the areas open their mail.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>

#include "areas/gizmo.h"
#include "areas/ui/AreaMngr.h"
#include "areas/ui/EchoPropsForm.h"
#include "core/Settings.h"
#include "import/ui/FileChooser.h"
#include "msgbase/MessageBase.h"
#include "support/TestSupport.h"
#include "support/qt/Child.h"

namespace pelmar::ui {
namespace {

using pelmar::test::Child;
namespace fs = std::filesystem;

class AreaSetupRoundTripTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings;
        Settings = TSettings();
        Settings.BaseKey = RootKey;
        Settings.ProgramFolder = home_.Path().string() + "/";
        bases_ = home_.Path() / "bases";
        fs::create_directories(bases_);
        for (const char* fixture : {"smapi/bases/jam", "smapi/bases/squish", "smapi/bases/msg"})
            test::CopyFixture(fixture, bases_);
    }
    void TearDown() override { Settings = saved_; }

    TAreaInfo* MakeArea(TAreaMngr& window, const std::string& name, int kind, const std::string& location) {
        TAreaInfo* entry = window.CreateFolder();
        Child<QListWidget>(window, "List")->currentItem()->setText(QString::fromStdString(name));
        TEchoPropsForm form;
        form.LoadFrom(*entry);
        form.SetKind(kind);
        if (kind == 1) Child<TFileChooser>(form, "FidoDir")->SetPath(location);
        if (kind == 2) Child<TFileChooser>(form, "JamFile")->SetPath(location);
        if (kind == 3) {
            Child<TFileChooser>(form, "HudsonDir")->SetPath(location);
            Child<QLineEdit>(form, "HudsonBoardEdit")->setText("7");
        }
        if (kind == 4) Child<TFileChooser>(form, "SquishFile")->SetPath(location);
        EXPECT_TRUE(form.ApplyTo(*entry));
        return entry;
    }

    test::ScopedHome home_;
    TSettings saved_;
    fs::path bases_;
};

TEST_F(AreaSetupRoundTripTest, AreasOfEveryKindSurviveARestartAndListTheirMail) {
    {
        TAreaManager manager;
        manager.LoadAreas();
        TAreaMngr window(manager.Root());
        window.SelectFolder(&manager.Root());
        TAreaInfo* fido = window.CreateFolder();
        Child<QListWidget>(window, "List")->currentItem()->setText("Fido");
        window.SelectFolder(fido);
        MakeArea(window, "jam", 2, (bases_ / "jam" / "su.general.jhr").string());
        MakeArea(window, "squish", 4, (bases_ / "squish" / "su.general.sqd").string());
        MakeArea(window, "msg", 1, (bases_ / "msg" / "su.general").string() + "/");
        MakeArea(window, "hudson", 3, (bases_ / "hudson").string() + "/");
        window.AddLinkedGroup(LinkKindAreasBbs);
        ASSERT_TRUE(manager.SaveAreas());
    }
    TAreaManager restarted;
    restarted.LoadAreas();
    TAreaInfo* fido = restarted.Root().FindChild("Fido");
    ASSERT_NE(fido, nullptr);
    ASSERT_EQ(fido->ChildCount(), 5);
    EXPECT_EQ(fido->FindChild("jam")->Path, (bases_ / "jam" / "su.general").string());
    EXPECT_EQ(fido->FindChild("squish")->Path, (bases_ / "squish" / "su.general").string());
    EXPECT_EQ(fido->FindChild("hudson")->Path, "\x07" + (bases_ / "hudson").string() + "/");
    EXPECT_EQ(fido->FindChild("Areas.BBS")->Zilo, ZiloLinkedGroup);
    for (const char* name : {"jam", "squish", "msg"}) {
        TAreaInfo* area = fido->FindChild(name);
        ASSERT_NE(area, nullptr) << name;
        TOpenedBase base(*area, TBaseMode::Private);
        ASSERT_TRUE(base) << name;
        EXPECT_GT(base->Count(), 0) << name;
    }
}

}  // namespace
}  // namespace pelmar::ui

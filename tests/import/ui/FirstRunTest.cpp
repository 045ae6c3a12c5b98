// The first start: the GoldEd wizard's pages and the welcome wizard's steps, with the dialogs of
// each step answered by the test.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "areas/gizmo.h"
#include "core/Settings.h"
#include "editor/Templates.h"
#include "import/AreaImport.h"
#include "import/FirstRun.h"
#include "import/ui/FileChooser.h"
#include "import/ui/ImportDialog.h"
#include "import/ui/ImportQueryForm.h"
#include "import/ui/LinkedGroupDialog.h"
#include "import/ui/SquishImportForm.h"
#include "import/ui/WelcomeForm.h"
#include "import/ui/WizardForm.h"
#include "msgbase/MessageBase.h"
#include "reader/ui/HelpWindow.h"
#include "support/TestSupport.h"
#include "support/qt/Child.h"

namespace pelmar::ui {
namespace {

using pelmar::test::Child;
namespace fs = std::filesystem;

class FirstRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings;
        Settings.BaseKey = RootKey + "\\Users\\FirstRunTester";
        Settings.SetupDone = false;
        RegisterAreaImporters();
        OpenTemplateStore();
    }
    void TearDown() override {
        SetDefaultTemplates(nullptr);
        CloseTemplateStore();
        Settings = saved_;
    }

    TAreaInfo& AddEntry(const std::string& name, uint8_t zilo, int kind) {
        auto entry = std::make_unique<TAreaInfo>();
        entry->Name = name;
        entry->Zilo = zilo;
        entry->Kind = kind;
        return *root_.AddChild(std::move(entry));
    }

    // A welcome form whose steps answer without windows.
    std::unique_ptr<TWelcomeForm> Form(bool settingsOk, std::vector<int> imports = {}) {
        auto form = std::make_unique<TWelcomeForm>(root_);
        form->AskGoldEd = [] { return false; };
        form->RunGoldEdWizard = [] { return false; };
        form->RunSettings = [settingsOk] { return settingsOk; };
        form->AskImports = [imports] { return imports; };
        return form;
    }

    test::ScopedHome home_;
    TSettings saved_;
    TAreaInfo root_;
};

TEST_F(FirstRunTest, MissingGoldEdConfigGoesToTheErrorPageAndChangesNothing) {
    const fs::path dir = home_.Path() / "nogolded";
    fs::create_directories(dir);
    AddEntry("Mine", ZiloOrdinary, AreaKindFolder);
    Settings.FullName = "Kept";

    TWizardForm wizard(root_);
    EXPECT_FALSE(Child<QPushButton>(wizard, "BackButton")->isEnabled());
    EXPECT_TRUE(Child<QLineEdit>(*Child<TFileChooser>(wizard, "DirectoryChooser"), "Edit")->isReadOnly());
    wizard.NextClick();
    ASSERT_EQ(wizard.Page(), TWizardForm::PageDirectory);
    EXPECT_FALSE(Child<QPushButton>(wizard, "NextButton")->isEnabled());  // no folder chosen yet
    Child<TFileChooser>(wizard, "DirectoryChooser")->SetPath(dir.string());
    EXPECT_TRUE(Child<QPushButton>(wizard, "NextButton")->isEnabled());
    wizard.NextClick();
    EXPECT_EQ(wizard.Page(), TWizardForm::PageError);
    EXPECT_FALSE(Child<QPushButton>(wizard, "NextButton")->isEnabled());
    EXPECT_TRUE(Child<QPushButton>(wizard, "BackButton")->isEnabled());
    EXPECT_EQ(Settings.FullName, "Kept");
    ASSERT_EQ(root_.ChildCount(), 1);
    EXPECT_EQ(root_.Child(0)->Name, "Mine");

    // With the file present the import runs and the wizard cannot be cancelled any more.
    wizard.BackClick();
    test::WriteFile(dir / "golded.cfg", "USERNAME Petya\n");
    wizard.NextClick();
    EXPECT_EQ(wizard.Page(), TWizardForm::PageSuccess);
    EXPECT_FALSE(Child<QPushButton>(wizard, "CancelButton")->isEnabled());
    EXPECT_EQ(Settings.FullName, "Petya");
    EXPECT_EQ(root_.ChildCount(), 0);
}

TEST_F(FirstRunTest, CancelledStepsLeaveSetupDoneOff) {
    // The settings dialog cancelled.
    auto form = Form(false);
    form->ContinueClick();
    EXPECT_EQ(form->result(), TWelcomeForm::ModalCancel);
    EXPECT_FALSE(Settings.SetupDone);

    // The GoldEd wizard cancelled.
    form = Form(true);
    form->AskGoldEd = [] { return true; };
    form->ContinueClick();
    EXPECT_EQ(form->result(), TWelcomeForm::ModalCancel);
    EXPECT_FALSE(Settings.SetupDone);

    // Closed by the window manager: the same as "Выход".
    form = Form(true);
    QCloseEvent close;
    QApplication::sendEvent(form.get(), &close);
    EXPECT_EQ(form->result(), TWelcomeForm::ModalCancel);
    EXPECT_FALSE(Settings.SetupDone);

    // No GoldEd, the import query cancelled: still set up.
    form = Form(true);
    form->ContinueClick();
    EXPECT_EQ(form->result(), TWelcomeForm::ModalOK);
    EXPECT_TRUE(Settings.SetupDone);
}

TEST_F(FirstRunTest, DefaultTemplatesAreWrittenOnlyWhenAbsent) {
    SetDefaultTemplates([] {
        return std::vector<std::pair<std::string, std::string>>{{"new.letter", "Hello"}, {"reply", "Quote"}};
    });
    ASSERT_TRUE(WriteTemplate("reply", "Edited by another profile"));
    auto form = Form(true);
    form->ContinueClick();
    EXPECT_EQ(ReadTemplate("new.letter"), "Hello");
    EXPECT_EQ(ReadTemplate("reply"), "Edited by another profile");

    // The template code's own defaults: all of them, the edited one kept.
    SetDefaultTemplates(nullptr);
    ASSERT_EQ(DefaultTemplates().size(), 18u);
    const std::string edited = DefaultTemplates().front().first;
    ASSERT_TRUE(WriteTemplate(edited, "Mine"));
    ASSERT_TRUE(WriteMissingTemplates());
    for (const auto& [name, text] : DefaultTemplates()) EXPECT_TRUE(TemplateExists(name)) << name;
    EXPECT_EQ(ReadTemplate(edited), "Mine");
}

TEST_F(FirstRunTest, OnlyALinkedGroupOfTheSameKindIsReused) {
    const fs::path cfg = home_.Path() / "squish.cfg";
    test::WriteFile(cfg, "EchoArea NEW.AREA /nowhere/new -$\n");
    TAreaInfo& folder = AddEntry("Squish", ZiloOrdinary, AreaKindFolder);
    auto mine = std::make_unique<TAreaInfo>();
    mine->Name = "My area";
    mine->Kind = 1;
    folder.AddChild(std::move(mine));

    auto importSquish = [&] {
        auto form = Form(true, {LinkKindSquish});
        form->CreateImportDialog = [&](int) -> std::unique_ptr<TImportDialog> {
            auto dialog = std::make_unique<TSquishImportForm>();
            dialog->Remember = false;
            dialog->SetFileName(cfg.string());
            QTimer::singleShot(0, dialog.get(),
                               [d = dialog.get()] { Child<QPushButton>(*d, "OKButton")->click(); });
            return dialog;
        };
        form->ContinueClick();
        EXPECT_EQ(form->result(), TWelcomeForm::ModalOK);
    };
    importSquish();
    // The folder keeps its area; the link got a name of its own.
    ASSERT_EQ(folder.ChildCount(), 1);
    EXPECT_EQ(folder.Zilo, ZiloOrdinary);
    EXPECT_EQ(folder.Child(0)->Name, "My area");
    TAreaInfo* link = root_.FindChild("Squish 2");
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->Zilo, ZiloLinkedGroup);
    EXPECT_EQ(link->Kind, LinkKindSquish);
    EXPECT_EQ(link->Path, cfg.string());
    ASSERT_NE(link->FindChild("NEW.AREA"), nullptr);

    // A second run finds that link again instead of making another one.
    importSquish();
    EXPECT_EQ(root_.ChildCount(), 2);
    EXPECT_EQ(&LinkedGroupFor(root_, "Squish", LinkKindSquish), link);
}

TEST_F(FirstRunTest, HelpButtonsOfTheImportsOpenTheirPage) {
    TWizardForm wizard(root_);
    TImportQueryForm query;
    const std::pair<QDialog*, QPushButton*> rows[] = {{&wizard, Child<QPushButton>(wizard, "HelpButton")},
                                                      {&query, Child<QPushButton>(query, "HelpButton")}};
    for (const auto& [dialog, button] : rows) {
        button->click();
        auto* help = dialog->findChild<THelpWindow*>();
        ASSERT_NE(help, nullptr);
        EXPECT_TRUE(help->isVisible());
        EXPECT_EQ(Child<QTextBrowser>(*help, "Browser")->source().fileName(), QStringLiteral("import.html"));
        EXPECT_TRUE(Child<QTextBrowser>(*help, "Browser")->toPlainText().contains(QStringLiteral("INCLUDE")));
    }
}

TEST_F(FirstRunTest, TosserLinksHaveTheirDialog) {
    for (int kind : {LinkKindFidoConfig, LinkKindCrashMail}) {
        SCOPED_TRACE(kind);
        const auto dialog = CreateImportDialog(kind);
        ASSERT_NE(dialog, nullptr);
        dialog->SetFileName("/etc/fido/config");
        TAreaInfo group;
        dialog->ApplyToGroup(group);
        EXPECT_EQ(group.Path, "/etc/fido/config");
        EXPECT_EQ(group.Read, 7);
    }
}

// Sets environment variables for a test and puts the old values back.
class TScopedVariables {
public:
    explicit TScopedVariables(const std::vector<std::pair<std::string, const char*>>& values) {
        for (const auto& [name, value] : values) {
            const char* old = std::getenv(name.c_str());
            saved_.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
            Set(name, value);
        }
    }
    ~TScopedVariables() {
        for (const auto& [name, value] : saved_) Set(name, value ? value->c_str() : nullptr);
    }

private:
    static void Set(const std::string& name, const char* value) {
        if (value != nullptr)
            setenv(name.c_str(), value, 1);
        else
            unsetenv(name.c_str());
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(FirstRunTest, TheCrashMailSetUpOfThisMachineIsOfferedLinkedAndGivesTheNetmailArea) {
    // crashmail's own set-up in ~/.crashmail, its paths relative to it, and nothing else set up.
    const fs::path home = home_.Path() / "user";
    const fs::path setup = home / ".crashmail";
    fs::create_directories(setup / "msg");
    fs::copy(test::FixturesDir() / "crashmail" / "bases", setup / "msg", fs::copy_options::recursive);
    test::WriteFile(setup / "crashmail.prefs",
                    "AKA 2:5020/1.0\n"
                    "NETMAIL \"NETMAIL\" 2:5020/1.0 MSG \"msg/netmail\"\n"
                    "AREA \"RU.TEST\" 2:5020/1.0 JAM \"msg/rutest\"\n");
    const TScopedVariables variables(
        {{"HOME", home.c_str()}, {"FIDOCONFIG", nullptr}, {"CMCONFIGFILE", nullptr}});

    TImportQueryForm query;
    EXPECT_EQ(query.CheckedKinds(), std::vector<int>{LinkKindCrashMail});

    Settings.NetmailArea.clear();
    auto form = Form(true, {LinkKindCrashMail});
    std::string offered;
    form->CreateImportDialog = [&](int kind) {
        auto dialog = CreateImportDialog(kind);
        offered = dialog->FileName();
        QTimer::singleShot(0, dialog.get(), [raw = dialog.get()] { raw->accept(); });
        return dialog;
    };
    form->ContinueClick();
    EXPECT_EQ(offered, (setup / "crashmail.prefs").string());
    TAreaInfo* group = root_.FindChild("CrashMail");
    ASSERT_NE(group, nullptr);
    TAreaInfo* netmail = group->FindChild("NETMAIL");
    ASSERT_NE(netmail, nullptr);
    EXPECT_EQ(Settings.NetmailArea, netmail->ID);
    TOpenedBase base(*group->FindChild("RU.TEST"), TBaseMode::Private);
    ASSERT_TRUE(base);
    EXPECT_EQ(base->Count(), 7);

    // A link the area manager has just made offers the same file.
    auto fresh = std::make_unique<TAreaInfo>();
    fresh->Name = "Fresh";
    fresh->Zilo = ZiloLinkedGroup;
    fresh->Kind = LinkKindCrashMail;
    TAreaInfo& link = *root_.AddChild(std::move(fresh));
    QTimer::singleShot(0, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->accept();
    });
    EXPECT_EQ(EditLinkedGroup(link), TImportDialog::ModalOK);
    EXPECT_EQ(link.Path, (setup / "crashmail.prefs").string());
}

}  // namespace
}  // namespace pelmar::ui

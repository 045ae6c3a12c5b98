// The four import dialogs of linked groups: texts, remembered fields, presets from a group, OK.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QToolButton>

#include "areas/gizmo.h"
#include "core/Settings.h"
#include "import/AreaImport.h"
#include "import/ui/AreasImportForm.h"
#include "import/ui/FileChooser.h"
#include "import/ui/ImportForm.h"
#include "import/ui/ImportTmailForm.h"
#include "import/ui/LinkedGroupDialog.h"
#include "import/ui/SquishImportForm.h"
#include "support/TestSupport.h"
#include "support/qt/Child.h"

namespace pelmar::ui {
namespace {

using pelmar::test::Child;

class ImportDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings;
        Settings.BaseKey = RootKey + "\\Users\\DialogTester";
    }
    void TearDown() override { Settings = saved_; }

    test::ScopedHome home_;
    TSettings saved_;
};

std::unique_ptr<TAreaInfo> LinkedGroup(int kind, const std::string& path, int read,
                                       const std::string& description) {
    auto group = std::make_unique<TAreaInfo>();
    group->Zilo = ZiloLinkedGroup;
    group->Kind = kind;
    group->Path = path;
    group->Read = read;
    group->Description = description;
    return group;
}

TEST_F(ImportDialogsTest, CaptionsTextsAndFilters) {
    TImportForm fastEcho;
    EXPECT_EQ(fastEcho.windowTitle(), QStringLiteral("Импорт конфигурации FastEcho"));
    EXPECT_EQ(Child<QLabel>(fastEcho, "FileLabel")->text(),
              QStringLiteral("Укажите файл конфигурации FASTECHO.CFG:"));
    EXPECT_EQ(Child<TFileChooser>(fastEcho, "FileChooser")->DialogFilter(),
              QStringLiteral("Файл конфигурации FASTECHO.CFG (FASTECHO.CFG fastecho.cfg)"));
    EXPECT_EQ(Child<TFileChooser>(fastEcho, "FileChooser")->Mode(), TFileChooser::TMode::ExistingFile);
    EXPECT_EQ(Child<QPushButton>(fastEcho, "OKButton")->text(), QStringLiteral("Импорт"));
    EXPECT_TRUE(Child<QPushButton>(fastEcho, "OKButton")->isDefault());
    EXPECT_EQ(Child<QPushButton>(fastEcho, "CancelButton")->text(), QStringLiteral("Отмена"));
    EXPECT_EQ(Child<QRadioButton>(fastEcho, "SplitRadio")->text(),
              QStringLiteral("разделять названия эхоконференциям по точкам на"));
    EXPECT_EQ(Child<QLabel>(fastEcho, "SplitLabel")->text(), QStringLiteral("отдельные области"));
    EXPECT_TRUE(Child<QRadioButton>(fastEcho, "KeepRadio")->isChecked());
    EXPECT_FALSE(fastEcho.SplitNames());
    fastEcho.show();
    EXPECT_FALSE(Child<QLabel>(fastEcho, "ExplainLabel")->isVisible());
    EXPECT_FALSE(Child<QRadioButton>(fastEcho, "SplitRadio")->isVisible());
    fastEcho.SetChoicesVisible(true);
    EXPECT_TRUE(Child<QRadioButton>(fastEcho, "SplitRadio")->isVisible());

    TSquishImportForm squish;
    EXPECT_EQ(squish.windowTitle(), QStringLiteral("Импорт конфигурации Squish 1.11+"));
    EXPECT_EQ(Child<QLabel>(squish, "FileLabel")->text(),
              QStringLiteral("Укажите файл конфигурации SQUISH.CFG:"));
    EXPECT_EQ(Child<QLabel>(squish, "ExplainLabel")->text(),
              QStringLiteral("Импорт будет производиться в текущую область, при "
                             "этом Пелмар \nдолжен импортировать следующие типы "
                             "конференций:"));
    EXPECT_EQ(Child<TFileChooser>(squish, "FileChooser")->DialogFilter(),
              QStringLiteral("Файл конфигурации Squish (SQUISH.CFG squish.cfg)"));
    EXPECT_EQ(squish.Options(), 7);  // all checked at first
    EXPECT_EQ(Child<QCheckBox>(squish, "BadDupeCheck")->text(), QStringLiteral("Bad/DupeMail"));
    EXPECT_EQ(Child<QPushButton>(squish, "OKButton")->text(), QStringLiteral("Импорт"));

    TImportTmailForm tmail;
    EXPECT_EQ(tmail.windowTitle(), QStringLiteral("Импорт конфигурации T-Mail 2600+"));
    EXPECT_EQ(Child<QLabel>(tmail, "ExplainLabel")->text(),
              QStringLiteral("Импорт будет производиться в текущую область, при "
                             "этом\nбудет импортирован каталог нетмейла и mailbox'ы "
                             "T-mail'а."));
    EXPECT_EQ(Child<TFileChooser>(tmail, "FileChooser")->DialogFilter(),
              QStringLiteral("Файл конфигурации T-MAIL.CTL (T-MAIL.CTL t-mail.ctl)"));

    TAreasImportForm areas;
    EXPECT_EQ(areas.windowTitle(), QStringLiteral("Импорт AREAS.BBS"));
    EXPECT_EQ(Child<QLabel>(areas, "FileLabel")->text(),
              QStringLiteral("Укажите файл конфигурации AREAS.BBS:"));
    EXPECT_EQ(Child<QLabel>(areas, "HudsonLabel")->text(), QStringLiteral("Укажите путь к Hudson-базе:"));
    EXPECT_EQ(Child<TFileChooser>(areas, "FileChooser")->DialogFilter(),
              QStringLiteral("Файлы AREAS.BBS (AREAS.BBS areas.bbs)"));
    EXPECT_EQ(Child<TFileChooser>(areas, "HudsonChooser")->Mode(), TFileChooser::TMode::Directory);
    EXPECT_EQ(Child<QPushButton>(areas, "OKButton")->text(), QStringLiteral("OK"));
}

TEST_F(ImportDialogsTest, BrowseFillsTheFieldUnlessCancelled) {
    TImportTmailForm form;
    QString offered;
    Child<TFileChooser>(form, "FileChooser")->Browse = [&](const QString& current) {
        offered = current;
        return QStringLiteral("/fido/Тмейл/t-mail.ctl");
    };
    form.SetFileName("/old/t-mail.ctl");
    Child<QToolButton>(*Child<TFileChooser>(form, "FileChooser"), "BrowseButton")->click();
    EXPECT_EQ(offered, QStringLiteral("/old/t-mail.ctl"));
    // Paths are the file system's bytes (UTF-8 here), not CP1251 text.
    EXPECT_EQ(form.FileName(), "/fido/\xD0\xA2\xD0\xBC\xD0\xB5\xD0\xB9\xD0\xBB/t-mail.ctl");
    Child<TFileChooser>(form, "FileChooser")->Browse = [](const QString&) { return QString(); };
    Child<QToolButton>(*Child<TFileChooser>(form, "FileChooser"), "BrowseButton")->click();
    EXPECT_EQ(form.FileName(), "/fido/\xD0\xA2\xD0\xBC\xD0\xB5\xD0\xB9\xD0\xBB/t-mail.ctl");
}

TEST_F(ImportDialogsTest, OKRemembersTheFieldsForTheNextUse) {
    {
        TSquishImportForm squish;
        squish.SetFileName("/etc/fido/squish.cfg");
        squish.SetOptions(2);
        squish.show();
        Child<QPushButton>(squish, "OKButton")->click();
        EXPECT_EQ(squish.result(), QDialog::Accepted);
    }
    {
        TAreasImportForm areas;
        areas.SetFileName("/etc/fido/areas.bbs");
        areas.SetHudsonDir("/fido/hudson");
        areas.show();
        Child<QPushButton>(areas, "OKButton")->click();
    }
    {
        TImportForm fastEcho;
        fastEcho.SetFileName("/etc/fido/fastecho.cfg");
        fastEcho.show();
        Child<QPushButton>(fastEcho, "CancelButton")->click();  // Cancel stores nothing
        EXPECT_EQ(fastEcho.result(), QDialog::Rejected);
    }
    TSquishImportForm squish;
    EXPECT_EQ(squish.FileName(), "/etc/fido/squish.cfg");
    EXPECT_EQ(squish.Options(), 2);
    TAreasImportForm areas;
    EXPECT_EQ(areas.FileName(), "");  // only the folder is remembered
    EXPECT_EQ(areas.HudsonDir(), "/fido/hudson");
    TImportForm fastEcho;
    EXPECT_EQ(fastEcho.FileName(), "");

    // Another profile remembers its own.
    Settings.BaseKey = RootKey;
    TSquishImportForm other;
    EXPECT_EQ(other.FileName(), "");
    EXPECT_EQ(other.Options(), 7);
}

TEST_F(ImportDialogsTest, PresetFromAGroupAndApplyToIt) {
    auto fastEchoGroup = LinkedGroup(LinkKindFastEcho, "/fe/fastecho.cfg", 0, "");
    TImportForm fastEcho;
    fastEcho.PresetFromGroup(*fastEchoGroup);
    EXPECT_EQ(fastEcho.FileName(), "/fe/fastecho.cfg");
    EXPECT_EQ(Child<QPushButton>(fastEcho, "OKButton")->text(), QStringLiteral("OK"));
    EXPECT_FALSE(fastEcho.Remember);
    fastEcho.SetFileName("/fe/other.cfg");
    fastEcho.ApplyToGroup(*fastEchoGroup);
    EXPECT_EQ(fastEchoGroup->Path, "/fe/other.cfg");
    EXPECT_EQ(fastEchoGroup->Read, 1);
    fastEcho.show();
    Child<QPushButton>(fastEcho, "OKButton")->click();
    EXPECT_EQ(TImportForm().FileName(), "");  // remembering was off

    auto squishGroup = LinkedGroup(LinkKindSquish, "/sq/squish.cfg", 5, "");
    TSquishImportForm squish;
    squish.PresetFromGroup(*squishGroup);
    EXPECT_TRUE(Child<QCheckBox>(squish, "BadDupeCheck")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>(squish, "NetMailCheck")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(squish, "EchoMailCheck")->isChecked());
    Child<QCheckBox>(squish, "BadDupeCheck")->setChecked(false);
    squish.ApplyToGroup(*squishGroup);
    EXPECT_EQ(squishGroup->Read, 4);

    // The AREAS.BBS dialog stops remembering only when the group has a Hudson folder.
    TAreasImportForm areas;
    areas.SetHudsonDir("/remembered");
    auto withoutDir = LinkedGroup(LinkKindAreasBbs, "/a/areas.bbs", 1, "");
    areas.PresetFromGroup(*withoutDir);
    EXPECT_EQ(areas.FileName(), "/a/areas.bbs");
    EXPECT_EQ(areas.HudsonDir(), "/remembered");
    EXPECT_TRUE(areas.Remember);
    auto withDir = LinkedGroup(LinkKindAreasBbs, "/b/areas.bbs", 1, "/hudson");
    areas.PresetFromGroup(*withDir);
    EXPECT_EQ(areas.HudsonDir(), "/hudson");
    EXPECT_FALSE(areas.Remember);
    areas.SetHudsonDir("/hudson2");
    areas.ApplyToGroup(*withDir);
    EXPECT_EQ(withDir->Path, "/b/areas.bbs");
    EXPECT_EQ(withDir->Description, "/hudson2");
}

// Clicks a button of the modal dialog once it is shown.
void ClickWhenShown(bool ok) {
    QTimer::singleShot(0, [ok] {
        auto* dialog = qobject_cast<TImportDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        (ok ? Child<QPushButton>(*dialog, "OKButton") : Child<QPushButton>(*dialog, "CancelButton"))->click();
    });
}

TEST_F(ImportDialogsTest, EditLinkedGroupRefreshesItOnOK) {
    RegisterAreaImporters();
    const std::string config = (home_.Path() / "T-MAIL.CTL").string();
    test::WriteFile(config, "Mail_In /fido/netmail\nMailBox Vasya = /fido/vasya\n");
    TAreaInfo root;
    TAreaInfo& group = *root.AddChild(LinkedGroup(LinkKindTMail, "/nowhere/t-mail.ctl", 0, ""));

    ClickWhenShown(false);
    EXPECT_EQ(EditLinkedGroup(group), TImportDialog::ModalCancel);
    EXPECT_EQ(group.Path, "/nowhere/t-mail.ctl");

    auto dialog = CreateImportDialog(LinkKindTMail);
    ASSERT_NE(dialog, nullptr);
    EXPECT_NE(qobject_cast<TImportTmailForm*>(dialog.get()), nullptr);
    EXPECT_EQ(CreateImportDialog(9), nullptr);

    QTimer::singleShot(0, [&] {
        auto* modal = qobject_cast<TImportDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(modal, nullptr);
        EXPECT_EQ(modal->FileName(), "/nowhere/t-mail.ctl");
        modal->SetFileName(config);
        Child<QPushButton>(*modal, "OKButton")->click();
    });
    EXPECT_EQ(EditLinkedGroup(group), TImportDialog::ModalOK);
    EXPECT_EQ(group.Path, config);
    EXPECT_EQ(group.ChildCount(), 2);
    EXPECT_NE(group.FindChild("Vasya"), nullptr);
    EXPECT_EQ(group.LockDepth(), 0);

    for (int kind : {LinkKindFastEcho, LinkKindSquish, LinkKindTMail, LinkKindAreasBbs})
        SetAreaImporter(kind, nullptr);
}

// The tossers' dialog says the own addresses are imported; linking from the area manager does it.
TEST_F(ImportDialogsTest, LinkingATosserConfigAdoptsTheMissingOwnAddresses) {
    RegisterAreaImporters();
    const std::string config = (home_.Path() / "config").string();
    test::WriteFile(config, "Address 2:5020/1\nAddress 2:5020/1.5\n");
    Settings.SelfAKA = {"2:5020/1", "2:5030/7"};
    TAreaInfo root;
    TAreaInfo& group = *root.AddChild(LinkedGroup(LinkKindFidoConfig, config, 7, ""));
    ClickWhenShown(true);
    EXPECT_EQ(EditLinkedGroup(group), TImportDialog::ModalOK);
    EXPECT_EQ(Settings.SelfAKA, (std::vector<std::string>{"2:5020/1", "2:5030/7", "2:5020/1.5"}));
    for (int kind : {LinkKindFastEcho, LinkKindSquish, LinkKindTMail, LinkKindAreasBbs, LinkKindFidoConfig,
                     LinkKindCrashMail})
        SetAreaImporter(kind, nullptr);
}

TEST_F(ImportDialogsTest, EditLinkedGroupKeepsTheGroupWhenTheRefreshFails) {
    const std::string config = (home_.Path() / "T-MAIL.CTL").string();
    test::WriteFile(config, "Mail_In /fido/netmail\n");
    SetAreaImporter(LinkKindTMail, [](const TLinkedImport& import, TAreaInfo& container) {
        if (import.Path.find("broken") != std::string::npos) throw std::runtime_error("unreadable");
        auto entry = std::make_unique<TAreaInfo>();
        entry->Name = "Old";
        entry->Kind = 1;
        container.AddChild(std::move(entry));
    });
    TAreaInfo root;
    TAreaInfo& group = *root.AddChild(LinkedGroup(LinkKindTMail, config, 0, ""));
    ASSERT_TRUE(group.RefreshLinkedGroup());
    ASSERT_NE(group.FindChild("Old"), nullptr);
    const std::string broken = (home_.Path() / "broken.ctl").string();
    test::WriteFile(broken, "x");

    QString shownError;
    QTimer::singleShot(0, [&] {
        auto* modal = qobject_cast<TImportDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(modal, nullptr);
        modal->SetFileName(broken);
        Child<QPushButton>(*modal, "OKButton")->click();
    });
    // The error box follows the dialog; it is read and closed once it shows.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shownError = box->text();
            box->accept();
            poll.stop();
        }
    });
    poll.start(10);
    EXPECT_EQ(EditLinkedGroup(group), TImportDialog::ModalCancel);
    EXPECT_TRUE(shownError.contains(QStringLiteral("не обновлена"))) << shownError.toStdString();
    EXPECT_EQ(group.Path, config);
    EXPECT_NE(group.FindChild("Old"), nullptr);
    EXPECT_EQ(group.LockDepth(), 0);
    SetAreaImporter(LinkKindTMail, nullptr);
}

}  // namespace
}  // namespace pelmar::ui

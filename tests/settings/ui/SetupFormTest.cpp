// The settings dialog and its small dialogs: what OK writes, what Cancel leaves, the enabling rules.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeWidget>

#include "core/Codepage.h"
#include "core/Settings.h"
#include "msgbase/RtfRender.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "settings/ui/AutoForm.h"
#include "settings/ui/SetupForm.h"
#include "support/TestSupport.h"
#include "support/qt/Child.h"

namespace pelmar::ui {
namespace {

using pelmar::test::Child;

class SetupFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings;
        Settings = TSettings();
        Settings.ProgramFolder = home_.Path().string() + "/";
        Settings.BaseKey = RootKey;
        Settings.FullName = "Old Name";
        Settings.SelfAKA = {"2:5020/1"};
        ASSERT_TRUE(SaveSettings());
        ASSERT_TRUE(SaveLoginSettings());
    }
    void TearDown() override {
        if (IsTemplateStoreOpen()) CloseTemplateStore();
        Settings = saved_;
    }
    std::string StoreFile() const { return test::ReadFile(RegistryFilePath()); }

    test::ScopedHome home_;
    TSettings saved_;
};

TEST_F(SetupFormTest, OkWritesEveryFieldAndSaves) {
    OpenTemplateStore();
    TSetupForm form;
    Child<QLineEdit>(form, "Edit1")->setText(QStringLiteral("Иван Петров"));
    Child<QLineEdit>(form, "Edit2")->setText("2:5020/2");
    ASSERT_TRUE(Child<QPushButton>(form, "Button1")->isEnabled());
    Child<QPushButton>(form, "Button1")->click();
    EXPECT_TRUE(Child<QLineEdit>(form, "Edit2")->text().isEmpty());
    // The second address moves up and becomes the main one.
    Child<QListWidget>(form, "ListBox1")->setCurrentRow(1);
    Child<QToolButton>(form, "SpeedButton1")->click();
    form.AddNodelistFiles({"/nl/nodelist.ndl", "/nl/NODELIST.NDL"});
    form.AddReplacement({"Hello", "Hi"});
    form.AddAutoType({{0x70, ssCtrl}, "text"});
    Child<QCheckBox>(form, "CheckBox1")->setChecked(false);
    Child<QCheckBox>(form, "CheckBox2")->setChecked(false);
    Child<QCheckBox>(form, "CheckBox3")->setChecked(false);
    Child<QCheckBox>(form, "CheckBox4")->setChecked(false);
    Child<QCheckBox>(form, "CheckBox5")->setChecked(true);
    Child<QCheckBox>(form, "CheckBox10")->setChecked(false);
    Child<QCheckBox>(form, "CheckBox11")->setChecked(false);
    Child<QCheckBox>(form, "CheckBox12")->setChecked(false);
    Child<QSpinBox>(form, "RxSpinEdit1")->setValue(17);
    Child<QCheckBox>(form, "CheckBox13")->setChecked(true);
    Child<QLineEdit>(form, "Edit4")->setText("/flags/net");
    Child<QCheckBox>(form, "CheckBox14")->setChecked(true);
    Child<QLineEdit>(form, "Edit5")->setText("/flags/echo");
    Child<QCheckBox>(form, "CheckBox15")->setChecked(false);
    Child<QSpinBox>(form, "RxSpinEdit2")->setValue(300);
    Child<QCheckBox>(form, "CheckBox16")->setChecked(true);
    Child<QCheckBox>(form, "CheckBox7")->setChecked(true);
    Child<QCheckBox>(form, "CheckBox8")->setChecked(false);
    Child<QCheckBox>(form, "CheckBox9")->setChecked(false);
    Child<QComboBox>(form, "ComboBox1")->setEditText("14");
    Child<QComboBox>(form, "ComboBox2")->setEditText("not a size");
    Child<QComboBox>(form, "ComboBox3")->setCurrentIndex(4);
    form.SetNetmailAttr(0x0101);
    form.SetEchomailAttr(0x0003);
    Child<QListWidget>(form, "ListBox5")->setCurrentRow(1);
    form.ColorsPicked(12, 14);
    ASSERT_TRUE(form.WriteBack());

    const TSettings s = Settings;
    EXPECT_EQ(s.FullName, Utf8ToAnsi("Иван Петров"));
    EXPECT_EQ(s.SelfAKA, (std::vector<std::string>{"2:5020/2", "2:5020/1"}));
    EXPECT_EQ(s.NodeListFiles, std::vector<std::string>{"/nl/nodelist.ndl"});
    ASSERT_EQ(s.AutoTypeTable.size(), 1u);
    EXPECT_EQ(s.AutoTypeTable[0].Text, "text");
    EXPECT_FALSE(s.ColourText);
    EXPECT_FALSE(s.ShowKludges);
    EXPECT_FALSE(s.AutoCompile);
    EXPECT_FALSE(s.UseURLs);
    EXPECT_TRUE(s.AutoSpell);
    EXPECT_FALSE(s.TBBack);
    EXPECT_FALSE(s.LineWrap);
    EXPECT_FALSE(s.AutoSave);
    EXPECT_EQ(s.SaveTime, 17);
    EXPECT_TRUE(s.bNetFlag);
    EXPECT_EQ(s.NetFlag, "/flags/net");
    EXPECT_TRUE(s.bEchoFlag);
    EXPECT_EQ(s.EchoFlag, "/flags/echo");
    EXPECT_FALSE(s.UseCache);
    EXPECT_EQ(s.CacheMax, 300);
    EXPECT_TRUE(s.EditPlacement);
    EXPECT_TRUE(s.UseLogin);
    EXPECT_FALSE(s.UseDialog);
    EXPECT_FALSE(s.AllowDefault);
    EXPECT_EQ(s.VarSize, 14);
    EXPECT_EQ(s.FixSize, 10);  // unreadable
    EXPECT_EQ(s.DosFont, 4);
    EXPECT_EQ(s.NetmailDef, 0x0101);
    EXPECT_EQ(s.EchomailDef, 0x0003);
    EXPECT_EQ(s.ColorTable[2], 12);
    EXPECT_EQ(s.ColorTable[3], 14);
    EXPECT_EQ(s.NetmailArea, "");
    EXPECT_EQ(ReadTemplate("change1"), "Hello\r\n");
    EXPECT_EQ(ReadTemplate("change2"), "Hi\r\n");

    // The dialog shows each setting where OK takes it from: confirmed untouched, it stores the same
    // (after one round, in which a font family the system lacks settles on the system's own).
    for (int round = 0; round < 2; ++round) {
        const std::string stored = StoreFile();
        TSetupForm again;
        ASSERT_TRUE(again.WriteBack());
        if (round == 1) EXPECT_EQ(StoreFile(), stored);
    }

    // What reached the store comes back after a restart.
    Settings = TSettings();
    Settings.BaseKey = RootKey;
    LoadSettings();
    EXPECT_EQ(Settings.FullName, Utf8ToAnsi("Иван Петров"));
    EXPECT_EQ(Settings.SelfAKA.front(), "2:5020/2");
    EXPECT_EQ(Settings.ColorTable[2], 12);
}

TEST_F(SetupFormTest, TosserPageValuesComeBackAfterARestart) {
    {
        TSetupForm form;
        Child<QLineEdit>(form, "EchoTossLogEdit")->setText(QStringLiteral(" /fido/echotoss.log "));
        QLineEdit* jam = Child<QLineEdit>(form, "EchomailJamEdit");
        EXPECT_FALSE(jam->isEnabled());
        Child<QCheckBox>(form, "EchomailJamCheck")->setChecked(true);
        EXPECT_TRUE(jam->isEnabled());
        jam->setText(QStringLiteral("/fido/echomail.jam"));
        Child<QLineEdit>(form, "AfterSendCommandEdit")
            ->setText(QStringLiteral("cd /fido && hpt scan >> «журнал»"));
        ASSERT_TRUE(form.WriteBack());
    }
    Settings = TSettings();
    Settings.BaseKey = RootKey;
    LoadSettings();
    EXPECT_EQ(Settings.EchoTossLog, "/fido/echotoss.log");
    EXPECT_TRUE(Settings.bEchomailJam);
    EXPECT_EQ(Settings.EchomailJam, "/fido/echomail.jam");
    EXPECT_EQ(Settings.AfterSendCommand, Utf8ToAnsi("cd /fido && hpt scan >> «журнал»"));
    TSetupForm again;
    EXPECT_EQ(Child<QLineEdit>(again, "AfterSendCommandEdit")->text(),
              QStringLiteral("cd /fido && hpt scan >> «журнал»"));
}

TEST_F(SetupFormTest, CancelLeavesTheStoreByteIdenticalColoursIncluded) {
    const std::string before = StoreFile();
    const auto colors = Settings.ColorTable;
    {
        TSetupForm form;
        Child<QLineEdit>(form, "Edit1")->setText("Someone Else");
        Child<QListWidget>(form, "ListBox5")->setCurrentRow(3);
        form.ColorsPicked(1, 2);
        Child<QListWidget>(form, "ListBox5")->setCurrentRow(0);
        form.AddAutoType({{'X', ssAlt}, "x"});
        form.reject();
    }
    EXPECT_EQ(Settings.ColorTable, colors);
    EXPECT_EQ(Settings.FullName, "Old Name");
    EXPECT_TRUE(Settings.AutoTypeTable.empty());
    TRegistryStore::Instance().Flush();
    EXPECT_EQ(StoreFile(), before);
}

TEST_F(SetupFormTest, EnablingRules) {
    Settings.IsAdmin = false;
    Settings.UseLogin = true;
    TSetupForm form;
    EXPECT_FALSE(Child<QCheckBox>(form, "CheckBox7")->isEnabled());
    EXPECT_FALSE(Child<QCheckBox>(form, "CheckBox8")->isEnabled());
    EXPECT_FALSE(Child<QCheckBox>(form, "CheckBox9")->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(form, "BitBtn3")->isEnabled());

    Settings.IsAdmin = true;
    form.UpdateControls();
    EXPECT_TRUE(Child<QPushButton>(form, "BitBtn3")->isEnabled());
    Child<QCheckBox>(form, "CheckBox7")->setChecked(false);
    EXPECT_FALSE(Child<QCheckBox>(form, "CheckBox8")->isEnabled());

    Child<QLineEdit>(form, "Edit2")->setText("2:5000/10");
    EXPECT_TRUE(Child<QPushButton>(form, "Button1")->isEnabled());
    Child<QLineEdit>(form, "Edit2")->setText("2:5000");
    EXPECT_FALSE(Child<QPushButton>(form, "Button1")->isEnabled());
    Child<QLineEdit>(form, "Edit2")->setText("2:5020/1");
    EXPECT_FALSE(Child<QPushButton>(form, "Button1")->isEnabled());

    Child<QCheckBox>(form, "CheckBox12")->setChecked(false);
    EXPECT_FALSE(Child<QSpinBox>(form, "RxSpinEdit1")->isEnabled());
    Child<QCheckBox>(form, "CheckBox13")->setChecked(false);
    EXPECT_FALSE(Child<QLineEdit>(form, "Edit4")->isEnabled());
    Child<QCheckBox>(form, "CheckBox15")->setChecked(true);
    EXPECT_TRUE(Child<QSpinBox>(form, "RxSpinEdit2")->isEnabled());
    EXPECT_EQ(Child<QListWidget>(form, "RxCheckListBox1")->count(), 0);  // no plug-in manager installed
    EXPECT_FALSE(Child<QPushButton>(form, "Button10")->isEnabled());
}

TEST_F(SetupFormTest, AutoTypeRefusesTakenAndBareShortcuts) {
    const std::vector<TAutoTypeEntry> table = {{{0x70, ssCtrl}, "one"}};
    TAutoForm form(table, -1);
    std::vector<std::string> told;
    form.ShowInfoBox = [&](const std::string& text) { told.push_back(text); };
    EXPECT_FALSE(Child<QPushButton>(form, "OKButton")->isEnabled());
    Child<QPlainTextEdit>(form, "TextEdit")->setPlainText("line");
    EXPECT_TRUE(Child<QPushButton>(form, "OKButton")->isEnabled());

    TShortCut shortCut;
    EXPECT_FALSE(TShortCutEdit::ShortCutFor(Qt::Key_F1, Qt::NoModifier, shortCut));
    EXPECT_FALSE(TShortCutEdit::ShortCutFor(Qt::Key_F1, Qt::ShiftModifier, shortCut));
    form.OKButtonClick();  // no shortcut yet
    EXPECT_EQ(form.result(), 0);

    ASSERT_TRUE(TShortCutEdit::ShortCutFor(Qt::Key_F1, Qt::ControlModifier, shortCut));
    Child<TShortCutEdit>(form, "KeyEdit")->SetShortCut(shortCut);
    EXPECT_EQ(Child<TShortCutEdit>(form, "KeyEdit")->text(), QStringLiteral("Ctrl+F1"));
    form.OKButtonClick();
    EXPECT_EQ(form.result(), 0);
    EXPECT_EQ(told.size(), 1u);

    ASSERT_TRUE(TShortCutEdit::ShortCutFor(Qt::Key_F2, Qt::ControlModifier, shortCut));
    Child<TShortCutEdit>(form, "KeyEdit")->SetShortCut(shortCut);
    form.OKButtonClick();
    EXPECT_EQ(form.result(), QDialog::Accepted);

    // The table refuses a duplicate even when it bypasses the dialog.
    TSetupForm setup;
    setup.AddAutoType({{0x70, ssCtrl}, "one"});
    setup.AddAutoType({{0x70, ssCtrl}, "two"});
    setup.AddAutoType({{0x70, 0}, "bare"});
    EXPECT_EQ(setup.AutoTypeWork().size(), 1u);
}

TEST_F(SetupFormTest, ReplacementNeedsAPattern) {
    TChangeForm form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Замена"));
    EXPECT_FALSE(Child<QPushButton>(form, "OKButton")->isEnabled());
    Child<QLineEdit>(form, "WithEdit")->setText("x");
    EXPECT_FALSE(Child<QPushButton>(form, "OKButton")->isEnabled());
    Child<QLineEdit>(form, "WhatEdit")->setText("y");
    EXPECT_TRUE(Child<QPushButton>(form, "OKButton")->isEnabled());
}

TEST_F(SetupFormTest, MissingFontFamiliesFallBackToTheSystemFonts) {
    Settings.VarFont = "MS Sans Serif";
    Settings.FixFont = "FixedSys";
    TSetupForm form;
    EXPECT_FALSE(Child<QFontComboBox>(form, "FontComboBox1")->currentFont().family().isEmpty());
    EXPECT_NE(Child<QFontComboBox>(form, "FontComboBox2")->currentFont().family(),
              QStringLiteral("FixedSys"));
}

TEST_F(SetupFormTest, PreviewShowsTheSampleInThePickedColours) {
    TSetupForm form;
    Child<QListWidget>(form, "ListBox5")->setCurrentRow(5);  // "Служебные поля"
    form.ColorsPicked(12, 14);
    const QString text = Child<QTextEdit>(form, "RichEdit2")->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("Текст письма"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Просто так")));
    const int at = text.indexOf(QStringLiteral("MSGID: 2:0/0.0 ffffffff"));
    ASSERT_GE(at, 0) << text.toStdString();
    QTextCursor cursor(Child<QTextEdit>(form, "RichEdit2")->document());
    cursor.setPosition(at + 1);
    const TRgb blue = RtfPalette[12];
    EXPECT_EQ(cursor.charFormat().foreground().color(), QColor(blue.R, blue.G, blue.B));
    EXPECT_EQ(form.ColorWork()[10], 12);
    EXPECT_EQ(Settings.ColorTable[10], DefaultColorTable[10]);  // live only after OK
}

}  // namespace
}  // namespace pelmar::ui

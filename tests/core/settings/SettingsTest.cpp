#include "core/Settings.h"

#include <gtest/gtest.h>

#include "core/Codepage.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

using test::ReadFile;

std::string A(const char* utf8) {
    return Utf8ToAnsi(utf8);
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings = TSettings{};
        TRegistryStore::Instance().SetErrorReporter(
            [this](const std::string& text) { reports_.push_back(text); });
    }
    void TearDown() override {
        CloseTemplateStore();
        TRegistryStore::Instance().SetSaveFaultForTesting(TRegistryStore::TSaveFault::None);
        TRegistryStore::Instance().SetErrorReporter(nullptr);
        Settings = TSettings{};
    }

    test::ScopedHome home_;
    std::vector<std::string> reports_;
};

TEST_F(SettingsTest, FreshRegistryGivesDefaultsAndCreatesTheKeys) {
    Settings.UseLogin = true;
    Settings.UserList = {"stale"};
    ASSERT_TRUE(LoadLoginSettings());
    EXPECT_FALSE(Settings.UseLogin);
    EXPECT_TRUE(Settings.AllowDefault);
    EXPECT_TRUE(Settings.UseDialog);
    EXPECT_TRUE(Settings.UserList.empty());
    EXPECT_EQ(Settings.ProgramFolder, HomeFolder());

    Settings.NodeListFiles = {"left over"};
    Settings.NotifyPersonal = false;  // another profile's choice
    Settings.CacheMax = 99;
    ASSERT_TRUE(LoadSettings());
    EXPECT_EQ(Settings.BaseKey, RootKey);
    EXPECT_FALSE(Settings.SetupDone);
    EXPECT_EQ(Settings.VarFont, "MS Sans Serif");
    EXPECT_EQ(Settings.FixFont, "FixedSys");
    EXPECT_TRUE(Settings.NotifyPersonal);
    EXPECT_EQ(Settings.FullName, "Anonymous");
    EXPECT_EQ(Settings.DataFolder, Settings.ProgramFolder);
    EXPECT_EQ(Settings.CacheMax, 10);
    EXPECT_EQ(Settings.SaveTime, 5);
    EXPECT_TRUE(Settings.NodeListFiles.empty());
    EXPECT_EQ(Settings.ColorTable, DefaultColorTable);
    EXPECT_EQ(Settings.NetmailDef, 1);
    EXPECT_TRUE(Settings.IsAdmin);
    EXPECT_EQ(Settings.VersionText, "1.0.4.0");
    EXPECT_EQ(DosFontNames[Settings.DosFont], "10x18");  // readable at 100 % scale

    // Loading created the keys, and they are on disk.
    TRegistryStore fromDisk;
    ASSERT_TRUE(fromDisk.Load(RegistryFilePath()));
    TRegistry reg(fromDisk);
    EXPECT_TRUE(reg.KeyExists(UsersKey));
    EXPECT_TRUE(reg.KeyExists(RootKey + "\\Settings"));
    EXPECT_TRUE(reg.KeyExists(RootKey + "\\AutoType"));
}

TEST_F(SettingsTest, EveryStoredFieldRoundTrips) {
    LoadSettings();
    TSettings& s = Settings;
    s.SetupDone = true;
    s.BuildThreads = s.ShowKludges = s.ColourText = s.AutoCompile = s.TBBack = false;
    s.VarFont = "Arial";
    s.VarSize = 12;
    s.NotifyPersonal = false;
    s.FixFont = A("Моноширинный");
    s.FixSize = 14;
    s.DosFont = 5;
    s.FullName = A("Иван Петров");
    s.SelfAKA = {"2:5020/1.1", "2:5020/1.2"};
    s.Uplinks = {"2:5020/1"};
    s.NodeListFiles = {"/n/nodelist.*", "", "/n/pointlist"};
    s.BookMarkNames = {A("Закладка")};
    s.BookMarkData = {"AREA1\x01MSGID"};
    s.DataFolder = "/data/";
    s.ColorTable = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    s.LineWrap = s.UseCache = s.AutoSave = s.UseURLs = s.IsAdmin = false;
    s.CacheMax = 2000;
    s.SaveTime = 200;
    s.bNetFlag = s.bEchoFlag = s.EditPlacement = s.AutoSpell = s.BMVisible = s.AutoAKA = true;
    s.NetFlag = "/flags/net";
    s.EchoFlag = "/flags/echo";
    s.NetmailArea = "NETMAIL";
    s.NetmailDef = 0x0183;
    s.EchomailDef = 0xFFFF;
    s.AutoTypeTable = {{{0x70, ssCtrl}, A("Привет")}, {{'Q', ssShift | ssAlt}, std::string("\x00\x01", 2)}};
    ASSERT_TRUE(SaveSettings());

    const TSettings saved = Settings;
    Settings = TSettings{};
    ASSERT_TRUE(LoadSettings());
    const TSettings& l = Settings;
    EXPECT_EQ(l.SetupDone, saved.SetupDone);
    EXPECT_EQ(l.BuildThreads, false);
    EXPECT_EQ(l.ShowKludges, false);
    EXPECT_EQ(l.ColourText, false);
    EXPECT_EQ(l.AutoCompile, false);
    EXPECT_EQ(l.TBBack, false);
    EXPECT_EQ(l.VarFont, saved.VarFont);
    EXPECT_EQ(l.VarSize, 12);
    EXPECT_FALSE(l.NotifyPersonal);
    EXPECT_EQ(l.FixFont, saved.FixFont);
    EXPECT_EQ(l.FixSize, 14);
    EXPECT_EQ(l.DosFont, 5);
    EXPECT_EQ(l.FullName, saved.FullName);
    EXPECT_EQ(l.SelfAKA, saved.SelfAKA);
    EXPECT_EQ(l.Uplinks, saved.Uplinks);
    EXPECT_EQ(l.NodeListFiles, saved.NodeListFiles);
    EXPECT_EQ(l.BookMarkNames, saved.BookMarkNames);
    EXPECT_EQ(l.BookMarkData, saved.BookMarkData);
    EXPECT_EQ(l.DataFolder, "/data/");
    EXPECT_EQ(l.ColorTable, saved.ColorTable);
    EXPECT_FALSE(l.LineWrap || l.UseCache || l.AutoSave || l.UseURLs || l.IsAdmin);
    EXPECT_EQ(l.CacheMax, 2000);
    EXPECT_EQ(l.SaveTime, 200);
    EXPECT_TRUE(l.bNetFlag && l.bEchoFlag && l.EditPlacement && l.AutoSpell && l.BMVisible && l.AutoAKA);
    EXPECT_EQ(l.NetFlag, saved.NetFlag);
    EXPECT_EQ(l.EchoFlag, saved.EchoFlag);
    EXPECT_EQ(l.NetmailArea, "NETMAIL");
    EXPECT_EQ(l.NetmailDef, 0x0183);
    EXPECT_EQ(l.EchomailDef, 0xFFFF);
    EXPECT_EQ(l.AutoTypeTable, saved.AutoTypeTable);

    // The list is stored with CR LF after each line; the attribute word low byte first.
    TRegistry reg;
    reg.OpenKey(RootKey + SettingsSubKey, false);
    EXPECT_EQ(reg.ReadString("SelfAKA"), "2:5020/1.1\r\n2:5020/1.2\r\n");
    EXPECT_EQ(reg.ReadBinaryData("NetmailDef"), "\x83\x01");
    EXPECT_EQ(reg.GetDataType("SetupDone"), RegDataType::rdInteger);
}

TEST_F(SettingsTest, PasswordIsNotWrittenBySaveSettings) {
    LoadSettings();
    Settings.UsePassword = true;
    Settings.Magic = "secret";
    SaveSettings();
    TRegistry reg;
    reg.OpenKey(RootKey + SettingsSubKey, false);
    EXPECT_FALSE(reg.ValueExists("UsePassword"));
    EXPECT_FALSE(reg.ValueExists("Magic"));

    reg.WriteBool("UsePassword", true);
    reg.WriteString("Magic", A("пароль"));
    reg.CloseKey();
    Settings = TSettings{};
    LoadSettings();
    EXPECT_TRUE(Settings.UsePassword);
    EXPECT_EQ(Settings.Magic, A("пароль"));
}

TEST_F(SettingsTest, ProfilesLiveUnderTheirOwnKeys) {
    EXPECT_EQ(ProfileBaseKey(""), RootKey);
    EXPECT_EQ(ProfileBaseKey("Default"), RootKey);
    EXPECT_EQ(ProfileBaseKey(A("Иван")), RootKey + "\\Users\\" + A("Иван"));

    for (const std::string& user : {std::string(), std::string("Default"), A("Иван")}) {
        Settings = TSettings{};
        Settings.CurrentUser = user;
        LoadSettings();
        Settings.FullName = user.empty() ? "root" : user;
        SaveSettings();
    }
    // "" and "Default" share the root; the named profile has its own key.
    Settings = TSettings{};
    LoadSettings();
    EXPECT_EQ(Settings.FullName, "Default");
    Settings.CurrentUser = A("Иван");
    LoadSettings();
    EXPECT_EQ(Settings.FullName, A("Иван"));
    EXPECT_NE(ReadFile(RegistryFilePath())
                  .find("[HKEY_CURRENT_USER\\Software\\Quorvant\\Pelmar Editor\\1.0\\Users\\Иван\\Settings]"),
              std::string::npos);

    TRegistry reg;
    for (const char* name : {"bob", "Юрий", "Alice", "ярослав", "Борис"})
        reg.OpenKey("\\" + UsersKey + "\\" + A(name), true);
    reg.CloseKey();
    LoadLoginSettings();
    EXPECT_EQ(Settings.UserList,
              (std::vector<std::string>{"Alice", "bob", A("Борис"), A("Иван"), A("Юрий"), A("ярослав")}));
}

TEST_F(SettingsTest, StoredSmallDosFontIsKept) {
    // The readable default is for fresh stores only: a user who chose the smallest face keeps it.
    {
        TRegistry reg;
        reg.OpenKey(RootKey + SettingsSubKey, true);
        reg.WriteInteger("DosFont", 0);
    }
    ASSERT_TRUE(LoadSettings());
    EXPECT_EQ(Settings.DosFont, 0);
    ASSERT_TRUE(SaveSettings());
    Settings = TSettings{};
    ASSERT_TRUE(LoadSettings());
    EXPECT_EQ(Settings.DosFont, 0);
}

TEST_F(SettingsTest, WrongTypedValuesKeepTheirDefaults) {
    {
        TRegistry reg;
        reg.OpenKey(RootKey, true);
        reg.WriteString("UseLogin", "1");
        reg.WriteInteger("UseDialog", 0);
        reg.OpenKey("\\" + RootKey + SettingsSubKey, true);
        reg.WriteString("FixSize", "12");
        reg.WriteInteger("VarFont", 3);
        reg.WriteBinaryData("SelfAKA", "2:5020/1");
        reg.WriteBinaryData("ColorTable", std::string(11, '\x01'));
        reg.WriteString("EchomailDef", "\x05");
        reg.WriteBinaryData("NetmailDef", "\x05\x00\x00");
        reg.WriteBinaryData("SetupDone", "\x01");
        reg.WriteString("CacheMax", "");
        reg.WriteInteger("DosFont", 6);  // past the six font sizes
        // values after the bad ones are still read
        reg.WriteString("Magic", "pw");
        reg.WriteInteger("VarSize", 8);
    }
    ASSERT_TRUE(LoadLoginSettings());
    EXPECT_FALSE(Settings.UseLogin);
    EXPECT_FALSE(Settings.UseDialog);
    ASSERT_TRUE(LoadSettings());
    EXPECT_EQ(Settings.FixSize, 10);
    EXPECT_EQ(Settings.VarFont, "MS Sans Serif");
    EXPECT_TRUE(Settings.SelfAKA.empty());
    EXPECT_EQ(Settings.ColorTable, DefaultColorTable);
    EXPECT_EQ(Settings.EchomailDef, 1);
    EXPECT_EQ(Settings.NetmailDef, 1);
    EXPECT_FALSE(Settings.SetupDone);
    EXPECT_EQ(Settings.CacheMax, 10);
    EXPECT_EQ(Settings.DosFont, DefaultDosFont);
    EXPECT_EQ(Settings.Magic, "pw");
    EXPECT_EQ(Settings.VarSize, 8);
}

TEST_F(SettingsTest, StringListsSplitLikeTextLines) {
    EXPECT_EQ(TextToStringList(""), std::vector<std::string>{});
    EXPECT_EQ(TextToStringList("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(TextToStringList("a\nb\rc"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(StringListToText({"a", ""}), "a\r\n\r\n");
}

TEST_F(SettingsTest, AutoTypeKeyIsRewrittenExactly) {
    LoadSettings();
    Settings.AutoTypeTable = {{{'A', ssCtrl}, "one"}, {{0x70, 0}, "two"}, {{0x2E, ssShift}, "three"}};
    SaveSettings();
    Settings.AutoTypeTable.erase(Settings.AutoTypeTable.begin());
    Settings.AutoTypeTable.push_back({{0xBA, ssAlt}, "four"});
    SaveSettings();

    TRegistry reg;
    reg.OpenKey(RootKey + AutoTypeSubKey, false);
    EXPECT_EQ(reg.GetValueNames(), (std::vector<std::string>{"F1", "Shift+Del", "Alt+;"}));
    EXPECT_EQ(reg.GetDataType("F1"), RegDataType::rdBinary);
    reg.CloseKey();

    const auto table = Settings.AutoTypeTable;
    Settings = TSettings{};
    LoadSettings();
    EXPECT_EQ(Settings.AutoTypeTable, table);
}

TEST(AutoType, ShortCutText) {
    const std::vector<std::pair<TShortCut, std::string>> cases = {
        {{0x70, ssCtrl}, "Ctrl+F1"},
        {{0x87, 0}, "F24"},
        {{0x2E, ssShift | ssCtrl | ssAlt}, "Shift+Ctrl+Alt+Del"},
        {{0x08, ssAlt}, "Alt+BkSp"},
        {{'7', 0}, "7"},
        {{'Z', ssShift}, "Shift+Z"},
        {{0x6A, ssCtrl}, "Ctrl+Num *"},
        {{0x6B, 0}, "Num +"},
        {{0xBD, ssCtrl}, "Ctrl+-"},
        {{0xE5, 0}, "VKE5"},
        {{0x1234, ssShift}, "Shift+VK1234"},
    };
    for (const auto& [shortCut, text] : cases) {
        EXPECT_EQ(ShortCutToText(shortCut), text);
        EXPECT_EQ(TextToShortCut(text), shortCut) << text;
    }
    EXPECT_EQ(ShortCutToText({0x65, ssCtrl}), "Ctrl+5");  // keypad digits are written as digits
    EXPECT_EQ(TextToShortCut("alt+ctrl+f12"), (TShortCut{0x7B, ssCtrl | ssAlt}));
    EXPECT_EQ(TextToShortCut("Ctrl+"), TShortCut{});
    EXPECT_EQ(TextToShortCut("Ctrl+Nonsense"), TShortCut{});
    EXPECT_EQ(TextToShortCut("F25"), TShortCut{});
    EXPECT_EQ(ShortCutToText({}), "");

    // Every key except the keypad digits reads back as itself.
    for (uint32_t key = 1; key <= 0xFFFF; ++key) {
        if (key >= 0x60 && key <= 0x69) continue;
        const TShortCut shortCut{static_cast<uint16_t>(key), ssShift | ssCtrl};
        ASSERT_EQ(TextToShortCut(ShortCutToText(shortCut)), shortCut) << key;
    }
}

TEST_F(SettingsTest, TemplatesEmptyTextDeletes) {
    OpenTemplateStore();
    EXPECT_EQ(ReadTemplate("reply"), "");
    ASSERT_TRUE(WriteTemplate("reply", A("Привет, @FName!\r\n")));
    EXPECT_EQ(ReadTemplate("reply"), A("Привет, @FName!\r\n"));
    EXPECT_TRUE(TemplateExists("REPLY"));
    EXPECT_EQ(TemplateStore().GetDataType("reply"), RegDataType::rdBinary);
    // written through at once, though the store stays open
    EXPECT_NE(ReadFile(RegistryFilePath()).find("\"reply\"=hex:"), std::string::npos);

    ASSERT_TRUE(WriteTemplate("reply", ""));
    EXPECT_FALSE(TemplateExists("reply"));
    EXPECT_EQ(ReadTemplate("reply"), "");
    EXPECT_EQ(ReadFile(RegistryFilePath()).find("\"reply\""), std::string::npos);

    // The open store survives its key being deleted by someone else.
    TRegistry().DeleteKey(TemplatesKey);
    EXPECT_TRUE(WriteTemplate("cut", "---"));
    EXPECT_EQ(ReadTemplate("cut"), "---");
}

TEST_F(SettingsTest, OldStringTemplatesAreConvertedOnce) {
    {
        TRegistry reg;
        reg.OpenKey(TemplatesKey, true);
        reg.WriteString("change1", A("Н\r\n"));
        reg.WriteString("change2", "H\r\n");
        reg.WriteString("empty", "");
        reg.WriteBinaryData("already", "bin");
    }
    OpenTemplateStore();
    EXPECT_TRUE(TemplatesNeedConversion());
    EXPECT_EQ(ReadTemplate("change1"), A("Н\r\n"));  // readable before conversion too
    ASSERT_TRUE(ConvertTemplates());
    EXPECT_FALSE(TemplatesNeedConversion());
    EXPECT_EQ(TemplateStore().GetDataType("change1"), RegDataType::rdBinary);
    EXPECT_EQ(ReadTemplate("change1"), A("Н\r\n"));
    EXPECT_EQ(ReadTemplate("change2"), "H\r\n");
    EXPECT_EQ(ReadTemplate("already"), "bin");
    EXPECT_FALSE(TemplateExists("empty"));
    CloseTemplateStore();

    TRegistryStore fromDisk;
    ASSERT_TRUE(fromDisk.Load(RegistryFilePath()));
    TRegistry reg(fromDisk);
    reg.OpenKey(TemplatesKey, false);
    EXPECT_EQ(reg.GetDataType("change1"), RegDataType::rdBinary);
}

TEST_F(SettingsTest, SaveFailureIsReportedAndRetried) {
    LoadSettings();
    const std::string before = ReadFile(RegistryFilePath());
    TRegistryStore::Instance().SetSaveFaultForTesting(TRegistryStore::TSaveFault::Rename);
    Settings.FullName = "Changed";
    EXPECT_FALSE(SaveSettings());
    EXPECT_FALSE(reports_.empty());
    EXPECT_EQ(ReadFile(RegistryFilePath()), before);

    TRegistryStore::Instance().SetSaveFaultForTesting(TRegistryStore::TSaveFault::None);
    EXPECT_TRUE(SaveLoginSettings());  // the next save carries the earlier change too
    EXPECT_NE(ReadFile(RegistryFilePath()).find("\"FullName\"=\"Changed\""), std::string::npos);
}

}  // namespace
}  // namespace pelmar

#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "core/Codepage.h"
#include "platform/Paths.h"
#include "platform/RegistryFile.h"
#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::string A(const char* utf8) {
    return Utf8ToAnsi(utf8);
}

std::vector<std::string> AsideFiles(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".damaged-") != std::string::npos) names.push_back(name);
    }
    return names;
}

class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = dir_.File("registry.reg");
        store_.SetErrorReporter([this](const std::string& text) { reports_.push_back(text); });
        ASSERT_TRUE(store_.Load(path_));
    }

    // A second store reading what the first one saved.
    std::unique_ptr<TRegistryStore> Reloaded() {
        auto other = std::make_unique<TRegistryStore>();
        other->SetErrorReporter([this](const std::string& text) { reports_.push_back(text); });
        EXPECT_TRUE(other->Load(path_));
        return other;
    }

    TempDir dir_;
    std::string path_;
    TRegistryStore store_;
    std::vector<std::string> reports_;
};

TEST_F(RegistryStoreTest, ValueTypesSizesAndWrongTypeReads) {
    TRegistry reg(store_);
    ASSERT_TRUE(reg.OpenKey("Software\\Test", true));
    reg.WriteInteger("Int", -5);
    reg.WriteBool("Flag", true);
    reg.WriteString("Text", "abc");
    reg.WriteBinaryData("Blob", std::string("\x00\x01\xFF", 3));

    EXPECT_EQ(reg.ReadInteger("Int"), -5);
    EXPECT_TRUE(reg.ReadBool("Flag"));
    EXPECT_EQ(reg.ReadString("Text"), "abc");
    EXPECT_EQ(reg.ReadBinaryData("Blob"), std::string("\x00\x01\xFF", 3));

    EXPECT_EQ(reg.GetDataType("Int"), RegDataType::rdInteger);
    EXPECT_EQ(reg.GetDataType("Text"), RegDataType::rdString);
    EXPECT_EQ(reg.GetDataType("Blob"), RegDataType::rdBinary);
    EXPECT_EQ(reg.GetDataType("Missing"), RegDataType::rdUnknown);
    EXPECT_EQ(reg.GetDataSize("Int"), 4);
    EXPECT_EQ(reg.GetDataSize("Text"), 4);  // with the terminating zero
    EXPECT_EQ(reg.GetDataSize("Blob"), 3);
    EXPECT_EQ(reg.GetDataSize("Missing"), -1);

    EXPECT_THROW(reg.ReadInteger("Text"), ERegistryError);
    EXPECT_THROW(reg.ReadBool("Blob"), ERegistryError);
    EXPECT_THROW(reg.ReadInteger("Missing"), ERegistryError);
    EXPECT_THROW(reg.ReadString("Int"), ERegistryError);
    EXPECT_THROW(reg.ReadBinaryData("Text"), ERegistryError);
    EXPECT_EQ(reg.ReadString("Missing"), "");
    EXPECT_EQ(reg.ReadBinaryData("Missing"), "");

    // Rewriting with another type replaces the value in place.
    reg.WriteString("Int", "now text");
    EXPECT_EQ(reg.ReadString("Int"), "now text");
    EXPECT_EQ(reg.GetValueNames(), (std::vector<std::string>{"Int", "Flag", "Text", "Blob"}));
}

TEST_F(RegistryStoreTest, NamesCompareCaseInsensitivelyAndKeepCreationOrder) {
    TRegistry reg(store_);
    ASSERT_TRUE(reg.OpenKey("Software\\" + A("Иван"), true));
    for (const char* name : {"Zeta", "alpha", "Mid"}) reg.WriteInteger(name, 1);
    reg.WriteInteger("ZETA", 2);
    EXPECT_EQ(reg.GetValueNames(), (std::vector<std::string>{"Zeta", "alpha", "Mid"}));
    EXPECT_EQ(reg.ReadInteger("zeta"), 2);
    reg.WriteString(A("Имя"), "x");
    EXPECT_TRUE(reg.ValueExists(A("иМЯ")));

    reg.CloseKey();
    EXPECT_TRUE(reg.KeyExists("SOFTWARE\\" + A("иВАН")));
    ASSERT_TRUE(reg.OpenKey("software", false));
    for (const char* name : {"b", "A", "c"}) reg.OpenKey("\\Software\\" + std::string(name), true);
    reg.OpenKey("\\Software", false);
    EXPECT_EQ(reg.GetKeyNames(), (std::vector<std::string>{A("Иван"), "b", "A", "c"}));
}

TEST_F(RegistryStoreTest, RelativeAndAbsolutePaths) {
    TRegistry reg(store_);
    ASSERT_TRUE(reg.OpenKey("Software\\Root\\", true));  // a trailing backslash is harmless
    ASSERT_TRUE(reg.OpenKey("Child", true));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Root\\Child");
    EXPECT_FALSE(reg.OpenKey("Nowhere", false));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Root\\Child");  // a failed open keeps the key
    ASSERT_TRUE(reg.OpenKey("\\Software\\Root", false));
    EXPECT_EQ(reg.GetKeyNames(), std::vector<std::string>{"Child"});
}

TEST_F(RegistryStoreTest, DeleteKeyRemovesTheWholeTree) {
    TRegistry reg(store_);
    reg.OpenKey("Software\\App\\Areas\\Group\\Deep", true);
    reg.WriteString("x", "1");
    reg.OpenKey("\\Software\\App\\Keep", true);

    TRegistry other(store_);
    ASSERT_TRUE(other.OpenKey("Software\\App\\Areas\\Group", false));

    reg.CloseKey();
    EXPECT_TRUE(reg.DeleteKey("Software\\App\\Areas"));
    EXPECT_FALSE(reg.KeyExists("Software\\App\\Areas\\Group\\Deep"));
    EXPECT_TRUE(reg.KeyExists("Software\\App\\Keep"));
    EXPECT_FALSE(reg.DeleteKey("Software\\App\\Areas"));
    EXPECT_FALSE(reg.DeleteKey("\\"));

    // A handle on a deleted key reads nothing and cannot write.
    EXPECT_TRUE(other.GetValueNames().empty());
    EXPECT_THROW(other.WriteInteger("v", 1), ERegistryError);
    EXPECT_FALSE(other.DeleteValue("x"));
}

TEST_F(RegistryStoreTest, ControlCharactersInNamesAreRefused) {
    TRegistry reg(store_);
    reg.OpenKey("Software", true);
    EXPECT_THROW(reg.WriteString("a\r\n[HKEY_CURRENT_USER\\Evil]", "x"), ERegistryError);
    EXPECT_THROW(reg.OpenKey("Bad\nName", true), ERegistryError);
    EXPECT_TRUE(reg.GetValueNames().empty());
}

TEST_F(RegistryStoreTest, EverythingSurvivesTheFile) {
    const std::string allBytes = [] {
        std::string bytes;
        for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
        return bytes + bytes + bytes;  // long enough to wrap over several lines
    }();
    {
        TRegistry reg(store_);
        reg.OpenKey("Software\\" + A("Пелмар") + "\\Empty", true);
        reg.OpenKey("\\Software\\" + A("Пелмар") + "\\Values", true);
        reg.WriteString(A("Имя \"в кавычках\""), A("C:\\Папка\\ \"quoted\" ") + "\x98");
        reg.WriteString("List", "2:5020/1\r\n2:5020/2.3\r\n");
        reg.WriteString("Tabbed", "a\tb");
        reg.WriteString("", "default value");
        reg.WriteString("Empty", "");
        reg.WriteExpandString("Expand", "%HOME%\\x");
        reg.WriteInteger("Negative", -2);
        reg.WriteInteger("Max", 0x7FFFFFFF);
        reg.WriteBinaryData("All", allBytes);
        reg.WriteBinaryData("None", "");
        reg.WriteString("Long", std::string(40000, 'x'));
    }
    const std::string text = ReadFile(path_);
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Пелмар\\Values]"), std::string::npos);
    EXPECT_NE(text.find("\"Negative\"=dword:fffffffe"), std::string::npos);

    auto other = Reloaded();
    EXPECT_EQ(other->ToText(), store_.ToText());
    TRegistry reg(*other);
    ASSERT_TRUE(reg.OpenKey("software\\" + A("пелмар") + "\\values", false));
    EXPECT_EQ(reg.ReadString(A("Имя \"в кавычках\"")), A("C:\\Папка\\ \"quoted\" ") + "\x98");
    EXPECT_EQ(reg.ReadString("List"), "2:5020/1\r\n2:5020/2.3\r\n");
    EXPECT_EQ(reg.ReadString("Tabbed"), "a\tb");
    EXPECT_EQ(reg.ReadString(""), "default value");
    EXPECT_EQ(reg.GetDataType("Empty"), RegDataType::rdString);
    EXPECT_EQ(reg.GetDataType("Expand"), RegDataType::rdExpandString);
    EXPECT_EQ(reg.ReadString("Expand"), "%HOME%\\x");
    EXPECT_EQ(reg.ReadInteger("Negative"), -2);
    EXPECT_EQ(reg.ReadInteger("Max"), 0x7FFFFFFF);
    EXPECT_EQ(reg.ReadBinaryData("All"), allBytes);
    EXPECT_EQ(reg.GetDataType("None"), RegDataType::rdBinary);
    EXPECT_EQ(reg.ReadString("Long"), std::string(40000, 'x'));
    EXPECT_TRUE(reg.KeyExists("\\Software\\" + A("Пелмар") + "\\Empty"));
    for (const auto& line : {"\"Long\"=hex(1):"}) EXPECT_NE(text.find(line), std::string::npos);
}

TEST_F(RegistryStoreTest, ChangesReachTheDiskWhenTheWritingHandleClosesOrTheBatchEnds) {
    TRegistry reg(store_);
    reg.OpenKey("Software\\A", true);
    reg.WriteInteger("v", 1);
    EXPECT_TRUE(store_.IsDirty());
    EXPECT_EQ(ReadFile(path_).find("\"v\""), std::string::npos);
    reg.CloseKey();
    EXPECT_FALSE(store_.IsDirty());
    EXPECT_NE(ReadFile(path_).find("\"v\"=dword:00000001"), std::string::npos);

    {
        TRegistryBatch batch(store_);
        TRegistry inner(store_);
        inner.OpenKey("Software\\B", true);
        inner.WriteInteger("w", 2);
        inner.CloseKey();
        EXPECT_EQ(ReadFile(path_).find("\"w\""), std::string::npos);  // deferred while the batch lives
    }
    EXPECT_NE(ReadFile(path_).find("\"w\"=dword:00000002"), std::string::npos);

    reg.OpenKey("Software\\A", false);
    reg.DeleteValue("v");
    ASSERT_TRUE(reg.Flush());
    EXPECT_EQ(ReadFile(path_).find("\"v\""), std::string::npos);
}

TEST_F(RegistryStoreTest, SavingThroughASymbolicLinkKeepsTheLink) {
    fs::create_directory(dir_.File("dotfiles"));
    const std::string real = dir_.File("dotfiles/registry.reg");
    WriteFile(real, "Windows Registry Editor Version 5.00\n");
    const std::string link = dir_.File("link.reg");
    fs::create_symlink(real, link);
    TRegistryStore store;
    ASSERT_TRUE(store.Load(link));
    TRegistry(store).OpenKey("Software\\Linked", true);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_NE(ReadFile(real).find("Linked"), std::string::npos);
}

TEST_F(RegistryStoreTest, FailedSaveKeepsTheOldFileAndIsReported) {
    {
        TRegistry reg(store_);
        reg.OpenKey("Software", true);
        reg.WriteString("Old", "1");
    }
    // Each step failing, twice in a row each time, with a good save between the rows: every row is a
    // new trouble, told once, and its repeat is not told again.
    for (const auto fault : {TRegistryStore::TSaveFault::Write, TRegistryStore::TSaveFault::Sync,
                             TRegistryStore::TSaveFault::Rename}) {
        reports_.clear();
        const std::string before = ReadFile(path_);
        store_.SetSaveFaultForTesting(fault);
        TRegistry reg(store_);
        reg.OpenKey("Software", true);
        for (const char* value : {"2", "3"}) {
            reg.WriteString("New", value);
            EXPECT_FALSE(reg.Flush());
            EXPECT_EQ(ReadFile(path_), before);
            EXPECT_TRUE(store_.IsDirty());
            EXPECT_NE(store_.LastError().find("registry.reg"), std::string::npos);
        }
        ASSERT_EQ(reports_.size(), 1u);
        // No temp files are left behind, and the next save catches up.
        EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Path()), fs::directory_iterator()), 1);
        store_.SetSaveFaultForTesting(TRegistryStore::TSaveFault::None);
        EXPECT_TRUE(store_.Flush());
        EXPECT_NE(ReadFile(path_).find("\"New\"=\"3\""), std::string::npos);
        EXPECT_TRUE(store_.LastError().empty());
        reg.WriteString("New", "1");
        ASSERT_TRUE(reg.Flush());
    }
}

TEST_F(RegistryStoreTest, KeysNestedTooDeepAreDamage) {
    std::string deep = "HKEY_CURRENT_USER";
    for (size_t i = 1; i < reg::MaxKeyDepth; ++i) deep += "\\k";
    const std::string file = "Windows Registry Editor Version 5.00\n\n[" + deep + "]\n\"a\"=\"1\"\n[" + deep +
                             "\\k]\n\"b\"=\"2\"\n";
    WriteFile(path_, file);
    TRegistryStore store;
    std::vector<std::string> reports;
    EXPECT_FALSE(store.Load(path_));
    store.SetErrorReporter([&](const std::string& text) { reports.push_back(text); });
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("5, 6"), std::string::npos) << reports[0];
    EXPECT_EQ(AsideFiles(dir_.Path()).size(), 1u);

    // The deepest key that can be read back can be made; one more level cannot.
    TRegistry reg(store);
    const std::string path = deep.substr(deep.find('\\') + 1);
    ASSERT_TRUE(reg.OpenKey(path, false));
    EXPECT_EQ(reg.ReadString("a"), "1");
    EXPECT_FALSE(reg.KeyExists(path + "\\k"));
    EXPECT_THROW(reg.OpenKey(path + "\\k", true), ERegistryError);
}

TEST_F(RegistryStoreTest, BatchEndedByAnExceptionStoresNothing) {
    {
        TRegistry reg(store_);
        reg.OpenKey("Software\\Kept", true);
        reg.WriteString("v", "old");
    }
    const std::string before = ReadFile(path_);
    try {
        TRegistryBatch outer(store_);
        TRegistry reg(store_);
        reg.OpenKey("Software\\Kept", true);
        reg.WriteString("v", "half");
        {
            TRegistryBatch inner(store_);
            reg.DeleteKey("\\Software\\Kept");
            reg.OpenKey("\\Software\\New", true);
            reg.WriteString("w", "x");
            throw std::runtime_error("fails halfway");
        }
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(ReadFile(path_), before);
    EXPECT_FALSE(store_.IsDirty());
    EXPECT_TRUE(store_.Flush());
    EXPECT_EQ(ReadFile(path_), before);  // not even a later save writes the half-done tree
    TRegistry reg(store_);
    ASSERT_TRUE(reg.OpenKey("Software\\Kept", false));
    EXPECT_EQ(reg.ReadString("v"), "old");
    EXPECT_FALSE(reg.KeyExists("\\Software\\New"));

    // A batch that ends normally still saves once.
    {
        TRegistryBatch batch(store_);
        reg.WriteString("v", "new");
        reg.CloseKey();
        EXPECT_EQ(ReadFile(path_), before);
    }
    EXPECT_NE(ReadFile(path_).find("\"v\"=\"new\""), std::string::npos);
}

TEST_F(RegistryStoreTest, DamagedLinesAreSkippedAndTheFileIsKeptAside) {
    const std::string damaged =
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_CURRENT_USER\\Software\\Good]\n"
        "\"a\"=dword:00000001\n"
        "\"bad\"=dword:1234567890\n"  // line 5: too many digits
        "garbage here\n"              // line 6
        "\"b\"=\"\xC0\xC1\"\n"        // line 7: not UTF-8
        "\"c\"=hex:01,02,\\\n"
        "  03\n"
        "[HKEY_CURRENT_USER\\Software\\Broken\n"  // line 10: the section is never closed
        "\"lost\"=\"must not land in Good\"\n"    // line 11
        "[HKEY_CURRENT_USER\\Software\\After]\n"
        "\"d\"=\"ok\"\n";
    WriteFile(path_, damaged);
    TRegistryStore store;
    std::vector<std::string> reports;
    EXPECT_FALSE(store.Load(path_));
    store.SetErrorReporter([&](const std::string& text) { reports.push_back(text); });
    ASSERT_EQ(reports.size(), 1u);  // the report made during Load arrives with the reporter
    EXPECT_NE(reports[0].find("5, 6, 7, 10, 11"), std::string::npos);

    const auto aside = AsideFiles(dir_.Path());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadFile(dir_.Path() / aside[0]), damaged);
    EXPECT_NE(reports[0].find(aside[0]), std::string::npos);

    TRegistry reg(store);
    ASSERT_TRUE(reg.OpenKey("Software\\Good", false));
    EXPECT_EQ(reg.GetValueNames(), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(reg.ReadBinaryData("c"), "\x01\x02\x03");
    ASSERT_TRUE(reg.OpenKey("\\Software\\After", false));
    EXPECT_EQ(reg.ReadString("d"), "ok");

    // What could be read is the new file; loading it again is clean.
    TRegistryStore again;
    EXPECT_TRUE(again.Load(path_));
    EXPECT_EQ(again.ToText(), store.ToText());
}

TEST_F(RegistryStoreTest, UnreadableFilesAreNeverOverwritten) {
    // A file in another format entirely: kept aside, the store starts empty.
    WriteFile(path_, "REGEDIT9\n[HKEY_CURRENT_USER\\X]\n");
    TRegistryStore store;
    store.SetErrorReporter([](const std::string&) {});
    EXPECT_FALSE(store.Load(path_));
    EXPECT_EQ(AsideFiles(dir_.Path()).size(), 1u);
    EXPECT_FALSE(fs::exists(path_));

    // A path that cannot be read as a file: saving refuses instead of replacing it.
    const std::string folderPath = dir_.File("folder.reg");
    fs::create_directory(folderPath);
    TRegistryStore blocked;
    std::vector<std::string> reports;
    blocked.SetErrorReporter([&](const std::string& text) { reports.push_back(text); });
    EXPECT_FALSE(blocked.Load(folderPath));
    TRegistry reg(blocked);
    reg.OpenKey("Software", true);
    EXPECT_FALSE(reg.Flush());
    EXPECT_TRUE(fs::is_directory(folderPath));
    EXPECT_GE(reports.size(), 2u);
}

TEST_F(RegistryStoreTest, ReadsRegeditUtf16Export) {
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n\r\n"
        u"[HKEY_CURRENT_USER\\Software\\Quorvant\\Pelmar Editor\\1.0\\Users\\Иван\\Settings]\r\n"
        u"\"FullName\"=\"Иван Петров\"\r\n"
        u"\"FixSize\"=dword:0000000c\r\n"
        u"\"ColorTable\"=hex:00,0f,02,0f,05,0f,06,0f,04,0f,\\\r\n"
        u"  09,0f\r\n"
        u"\"Path\"=hex(2):25,00,41,00,25,00,00,00\r\n"
        u"\"Multi\"=hex(7):61,00,00,00,00,00\r\n"
        u"@=\"по умолчанию\"\r\n"
        u"\"Gone\"=-\r\n"
        u"\r\n"
        u"[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n"
        u"\"x\"=dword:00000001\r\n";
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    const std::string exported = dir_.File("export.reg");
    WriteFile(exported, bytes);
    TRegistryStore store;
    EXPECT_TRUE(store.Load(exported));
    TRegistry reg(store);
    ASSERT_TRUE(
        reg.OpenKey("Software\\Quorvant\\Pelmar Editor\\1.0\\Users\\" + A("Иван") + "\\Settings", false));
    EXPECT_EQ(reg.ReadString("FullName"), A("Иван Петров"));
    EXPECT_EQ(reg.ReadInteger("FixSize"), 12);
    EXPECT_EQ(reg.ReadBinaryData("ColorTable").size(), 12u);
    EXPECT_EQ(reg.ReadString("Path"), "%A%");
    EXPECT_EQ(reg.GetDataType("Multi"), RegDataType::rdUnknown);
    EXPECT_EQ(reg.ReadBinaryData("Multi"), std::string("a\0\0\0\0\0", 6));
    EXPECT_EQ(reg.ReadString(""), A("по умолчанию"));
    EXPECT_FALSE(reg.ValueExists("Gone"));
    // Other hives are kept as they were.
    EXPECT_NE(store.ToText().find("[HKEY_LOCAL_MACHINE\\Software\\Other]\n\"x\"=dword:00000001"),
              std::string::npos);

    // Importing merges such a file into a store and saves it there.
    TRegistry(store_).OpenKey("Software\\Mine", true);
    EXPECT_TRUE(store_.Import(exported));
    const std::string saved = ReadFile(path_);
    EXPECT_NE(saved.find("[HKEY_CURRENT_USER\\Software\\Mine]"), std::string::npos);
    EXPECT_NE(saved.find("\"FullName\"=\"Иван Петров\""), std::string::npos);
}

TEST_F(RegistryStoreTest, RandomDamageNeverCrashesOrLosesTheFile) {
    {
        TRegistry reg(store_);
        reg.OpenKey("Software\\" + A("Тест"), true);
        reg.WriteString("s", "text \"q\" \\");
        reg.WriteString("list", "a\r\nb\r\n");
        reg.WriteBinaryData("b", std::string(200, '\x5A'));
        reg.WriteInteger("i", 7);
    }
    const std::string good = ReadFile(path_);
    std::mt19937 random(12345);
    for (int round = 0; round < 300; ++round) {
        std::string bytes = good;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits; ++e) {
            const size_t at = random() % bytes.size();
            switch (random() % 3) {
                case 0:
                    bytes[at] = static_cast<char>(random() % 256);
                    break;
                case 1:
                    bytes.erase(at, 1 + random() % 20);
                    break;
                default:
                    bytes.resize(at);
                    break;
            }
            if (bytes.empty()) bytes = "x";
        }
        TempDir folder;
        const std::string file = folder.File("registry.reg");
        WriteFile(file, bytes);
        TRegistryStore store;
        store.SetErrorReporter([](const std::string&) {});
        if (!store.Load(file)) {
            const auto aside = AsideFiles(folder.Path());
            ASSERT_EQ(aside.size(), 1u) << "round " << round;
            EXPECT_EQ(ReadFile(folder.Path() / aside[0]), bytes);
        }
    }
}

TEST(RegistryInstance, FollowsTheHomeFolder) {
    std::string firstFile;
    {
        test::ScopedHome home;
        EXPECT_EQ(RegistryFilePath(), home.Path().string() + "/registry.reg");
        EXPECT_EQ(HomeFolder(), home.Path().string() + "/");
        TRegistry reg;
        reg.OpenKey("Software\\First", true);
        reg.CloseKey();
        firstFile = RegistryFilePath();
        EXPECT_NE(ReadFile(firstFile).find("First"), std::string::npos);
    }
    test::ScopedHome home;
    TRegistry reg;
    EXPECT_FALSE(reg.KeyExists("Software\\First"));
    EXPECT_EQ(TRegistryStore::Instance().FilePath(), RegistryFilePath());
}

TEST(Paths, XdgFoldersWithoutPelmarHome) {
    TempDir dir;
    const char* saved = std::getenv("PELMAR_HOME");
    const std::string savedHome = saved != nullptr ? saved : "";
    unsetenv("PELMAR_HOME");
    setenv("XDG_DATA_HOME", dir.File("data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
    EXPECT_EQ(HomeFolder(), dir.File("data") + "/pelmar/");
    EXPECT_TRUE(fs::is_directory(dir.File("data") + "/pelmar"));
    EXPECT_EQ(RegistryFilePath(), dir.File("config") + "/pelmar/registry.reg");
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_CONFIG_HOME");
    if (saved != nullptr) setenv("PELMAR_HOME", savedHome.c_str(), 1);
}

}  // namespace
}  // namespace pelmar

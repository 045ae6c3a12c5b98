#include "core/Settings.h"

#include <algorithm>
#include <functional>
#include <memory>

#include "core/Codepage.h"
#include "platform/Paths.h"
#include "platform/Registry.h"

namespace pelmar {

TSettings Settings;

namespace {

// Reads one value if it exists. A value of another type than expected keeps the field's default
// and loading goes on with the next value.
void ReadIfExists(const TRegistry& reg, const std::string& name, const std::function<void()>& read) {
    if (!reg.ValueExists(name)) return;
    try {
        read();
    } catch (const ERegistryError&) {
    }
}

void Read(const TRegistry& reg, const std::string& name, bool& field) {
    ReadIfExists(reg, name, [&] { field = reg.ReadBool(name); });
}

void Read(const TRegistry& reg, const std::string& name, int32_t& field) {
    ReadIfExists(reg, name, [&] { field = reg.ReadInteger(name); });
}

void Read(const TRegistry& reg, const std::string& name, std::string& field) {
    ReadIfExists(reg, name, [&] { field = reg.ReadString(name); });
}

void Read(const TRegistry& reg, const std::string& name, std::vector<std::string>& field) {
    ReadIfExists(reg, name, [&] { field = TextToStringList(reg.ReadString(name)); });
}

// Binary blocks are taken only at their exact size.
template <size_t N>
void Read(const TRegistry& reg, const std::string& name, std::array<uint8_t, N>& field) {
    ReadIfExists(reg, name, [&] {
        if (reg.GetDataType(name) != RegDataType::rdBinary) return;
        const std::string bytes = reg.ReadBinaryData(name);
        if (bytes.size() != N) return;
        std::copy(bytes.begin(), bytes.end(), field.begin());
    });
}

// The font size is an index into DosFontNames; another number would index past its end.
void ReadDosFont(const TRegistry& reg, int32_t& field) {
    int32_t value = field;
    Read(reg, "DosFont", value);
    if (value >= 0 && value < static_cast<int32_t>(DosFontNames.size())) field = value;
}

// An attribute word: two bytes, low byte first.
void Read(const TRegistry& reg, const std::string& name, uint16_t& field) {
    std::array<uint8_t, 2> bytes{};
    bool found = false;
    ReadIfExists(reg, name, [&] {
        Read(reg, name, bytes);
        found = reg.GetDataType(name) == RegDataType::rdBinary && reg.GetDataSize(name) == 2;
    });
    if (found) field = static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

template <size_t N>
std::string Bytes(const std::array<uint8_t, N>& block) {
    return std::string(block.begin(), block.end());
}

std::string Bytes(uint16_t word) {
    return std::string{static_cast<char>(word & 0xFF), static_cast<char>(word >> 8)};
}

// Created after the process-wide store so that it is destroyed before it at exit, should
// CloseTemplateStore never run.
std::unique_ptr<TRegistry>& TemplateHandle() {
    TRegistryStore::Instance();
    static std::unique_ptr<TRegistry> handle;
    return handle;
}

// The template functions keep working outside log-in and shutdown on a short-lived handle.
template <class F>
auto WithTemplates(F&& action) {
    if (auto& handle = TemplateHandle()) {
        // Someone may have deleted the key under the open handle; bring it back.
        if (!handle->KeyExists("\\" + TemplatesKey)) handle->OpenKey("\\" + TemplatesKey, true);
        return action(*handle);
    }
    TRegistry reg;
    reg.OpenKey(TemplatesKey, true);
    return action(reg);
}

}  // namespace

std::string ProfileBaseKey(const std::string& userName) {
    if (userName.empty() || userName == DefaultUserName) return RootKey;
    return UsersKey + "\\" + userName;
}

std::string StringListToText(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

// Lines end at CR LF, LF or CR; a last line without an end still counts.
std::vector<std::string> TextToStringList(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
    return lines;
}

bool LoadLoginSettings() {
    TRegistryBatch batch;
    Settings.ProgramFolder = HomeFolder();
    Settings.UseLogin = false;
    Settings.AllowDefault = true;
    Settings.UseDialog = true;
    {
        TRegistry reg;
        reg.OpenKey(RootKey, true);
        Read(reg, "UseLogin", Settings.UseLogin);
        Read(reg, "AllowDefault", Settings.AllowDefault);
        Read(reg, "UseDialog", Settings.UseDialog);
        reg.CloseKey();
        reg.OpenKey(UsersKey, true);
        Settings.UserList = reg.GetKeyNames();
    }
    std::stable_sort(Settings.UserList.begin(), Settings.UserList.end(),
                     [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
    return batch.Commit();
}

bool SaveLoginSettings() {
    TRegistryBatch batch;
    {
        TRegistry reg;
        reg.OpenKey(RootKey, true);
        reg.WriteBool("UseLogin", Settings.UseLogin);
        reg.WriteBool("AllowDefault", Settings.AllowDefault);
        reg.WriteBool("UseDialog", Settings.UseDialog);
    }
    return batch.Commit();
}

bool LoadSettings() {
    TSettings& s = Settings;
    s.ProgramFolder = HomeFolder();
    s.BaseKey = ProfileBaseKey(s.CurrentUser);

    s.VarFont = "MS Sans Serif";
    s.FixFont = "FixedSys";
    s.FixSize = 10;
    s.VarSize = 10;
    s.NotifyPersonal = true;
    s.ShowKludges = s.ColourText = s.AutoCompile = s.BuildThreads = s.LineWrap = s.AutoSave = true;
    s.bNetFlag = s.bEchoFlag = s.AutoSpell = s.SetupDone = false;
    s.SaveTime = 5;
    s.FullName = "Anonymous";
    s.DataFolder = s.ProgramFolder;
    s.IsAdmin = s.UseCache = s.UseURLs = true;
    s.CacheMax = 10;
    s.NodeListFiles.clear();
    s.EchoTossLog.clear();
    s.bEchomailJam = false;
    s.EchomailJam.clear();
    s.AfterSendCommand.clear();

    TRegistryBatch batch;
    {
        TRegistry reg;
        reg.OpenKey(s.BaseKey + SettingsSubKey, true);
        Read(reg, "SetupDone", s.SetupDone);
        Read(reg, "BuildThreads", s.BuildThreads);
        Read(reg, "ShowKludges", s.ShowKludges);
        Read(reg, "ColourText", s.ColourText);
        Read(reg, "AutoCompile", s.AutoCompile);
        Read(reg, "TBBack", s.TBBack);
        Read(reg, "NotifyPersonal", s.NotifyPersonal);
        Read(reg, "VarFont", s.VarFont);
        Read(reg, "FixFont", s.FixFont);
        Read(reg, "FixSize", s.FixSize);
        Read(reg, "VarSize", s.VarSize);
        Read(reg, "FullName", s.FullName);
        Read(reg, "SelfAKA", s.SelfAKA);
        Read(reg, "Uplinks", s.Uplinks);
        Read(reg, "NodeListFiles", s.NodeListFiles);
        Read(reg, "BookMarkNames", s.BookMarkNames);
        Read(reg, "BookMarkData", s.BookMarkData);
        Read(reg, "DataFolder", s.DataFolder);
        Read(reg, "ColorTable", s.ColorTable);
        Read(reg, "LineWrap", s.LineWrap);
        ReadDosFont(reg, s.DosFont);
        Read(reg, "UseCache", s.UseCache);
        Read(reg, "CacheMax", s.CacheMax);
        Read(reg, "AutoSave", s.AutoSave);
        Read(reg, "bNetFlag", s.bNetFlag);
        Read(reg, "bEchoFlag", s.bEchoFlag);
        Read(reg, "EditPlacement", s.EditPlacement);
        Read(reg, "UseURLs", s.UseURLs);
        Read(reg, "AutoSpell", s.AutoSpell);
        Read(reg, "BMVisible", s.BMVisible);
        Read(reg, "AutoAKA", s.AutoAKA);
        Read(reg, "SaveTime", s.SaveTime);
        Read(reg, "NetFlag", s.NetFlag);
        Read(reg, "EchoFlag", s.EchoFlag);
        Read(reg, "NetmailArea", s.NetmailArea);
        Read(reg, "NetmailDef", s.NetmailDef);
        Read(reg, "EchomailDef", s.EchomailDef);
        Read(reg, "IsAdmin", s.IsAdmin);
        Read(reg, "UsePassword", s.UsePassword);
        Read(reg, "Magic", s.Magic);

        Read(reg, "EchoTossLog", s.EchoTossLog);
        Read(reg, "bEchomailJam", s.bEchomailJam);
        Read(reg, "EchomailJam", s.EchomailJam);
        Read(reg, "AfterSendCommand", s.AfterSendCommand);
        reg.CloseKey();

        reg.OpenKey(s.BaseKey + AutoTypeSubKey, true);
        s.AutoTypeTable.clear();
        for (const auto& name : reg.GetValueNames()) {
            TAutoTypeEntry entry{TextToShortCut(name), {}};
            // Entries edited by hand may be strings; integers carry no text and are left out.
            const RegDataType type = reg.GetDataType(name);
            if (type == RegDataType::rdInteger) continue;
            entry.Text = type == RegDataType::rdString || type == RegDataType::rdExpandString
                             ? reg.ReadString(name)
                             : reg.ReadBinaryData(name);
            s.AutoTypeTable.push_back(std::move(entry));
        }
    }
    return batch.Commit();
}

bool SaveSettings() {
    const TSettings& s = Settings;
    TRegistryBatch batch;
    {
        TRegistry reg;
        reg.OpenKey(s.BaseKey + SettingsSubKey, true);
        reg.WriteBool("SetupDone", s.SetupDone);
        reg.WriteBool("ShowKludges", s.ShowKludges);
        reg.WriteBool("BuildThreads", s.BuildThreads);
        reg.WriteBool("ColourText", s.ColourText);
        reg.WriteString("VarFont", s.VarFont);
        reg.WriteString("FixFont", s.FixFont);
        reg.WriteInteger("FixSize", s.FixSize);
        reg.WriteInteger("VarSize", s.VarSize);
        reg.WriteString("FullName", s.FullName);
        reg.WriteString("SelfAKA", StringListToText(s.SelfAKA));
        reg.WriteString("Uplinks", StringListToText(s.Uplinks));
        reg.WriteString("NodeListFiles", StringListToText(s.NodeListFiles));
        reg.WriteString("BookMarkNames", StringListToText(s.BookMarkNames));
        reg.WriteString("BookMarkData", StringListToText(s.BookMarkData));
        reg.WriteBool("AutoCompile", s.AutoCompile);
        reg.WriteInteger("DosFont", s.DosFont);
        reg.WriteBool("AutoAKA", s.AutoAKA);
        reg.WriteBool("TBBack", s.TBBack);
        reg.WriteBool("NotifyPersonal", s.NotifyPersonal);
        reg.WriteBool("LineWrap", s.LineWrap);
        reg.WriteBool("UseCache", s.UseCache);
        reg.WriteBool("AutoSave", s.AutoSave);
        reg.WriteBool("bNetFlag", s.bNetFlag);
        reg.WriteBool("bEchoFlag", s.bEchoFlag);
        reg.WriteBool("EditPlacement", s.EditPlacement);
        reg.WriteBool("UseURLs", s.UseURLs);
        reg.WriteBool("AutoSpell", s.AutoSpell);
        reg.WriteBool("BMVisible", s.BMVisible);
        reg.WriteInteger("SaveTime", s.SaveTime);
        reg.WriteInteger("CacheMax", s.CacheMax);
        reg.WriteString("NetFlag", s.NetFlag);
        reg.WriteString("EchoFlag", s.EchoFlag);
        reg.WriteString("DataFolder", s.DataFolder);
        reg.WriteString("NetmailArea", s.NetmailArea);
        reg.WriteBinaryData("ColorTable", Bytes(s.ColorTable));
        reg.WriteBinaryData("NetmailDef", Bytes(s.NetmailDef));
        reg.WriteBinaryData("EchomailDef", Bytes(s.EchomailDef));
        reg.WriteBool("IsAdmin", s.IsAdmin);

        reg.WriteString("EchoTossLog", s.EchoTossLog);
        reg.WriteBool("bEchomailJam", s.bEchomailJam);
        reg.WriteString("EchomailJam", s.EchomailJam);
        reg.WriteString("AfterSendCommand", s.AfterSendCommand);
        reg.CloseKey();

        reg.DeleteKey(s.BaseKey + AutoTypeSubKey);
        reg.OpenKey(s.BaseKey + AutoTypeSubKey, true);
        for (const auto& entry : s.AutoTypeTable)
            reg.WriteBinaryData(ShortCutToText(entry.ShortCut), entry.Text);
    }
    return batch.Commit();
}

// ----- template store ------------------------------------------------------------------------

void OpenTemplateStore() {
    auto& handle = TemplateHandle();
    if (handle) return;
    handle = std::make_unique<TRegistry>();
    handle->OpenKey(TemplatesKey, true);
    handle->Flush();
}

void CloseTemplateStore() {
    TemplateHandle().reset();
}

bool IsTemplateStoreOpen() {
    return TemplateHandle() != nullptr;
}

TRegistry& TemplateStore() {
    OpenTemplateStore();
    return *TemplateHandle();
}

std::string ReadTemplate(const std::string& name) {
    return WithTemplates([&](TRegistry& reg) -> std::string {
        switch (reg.GetDataType(name)) {
            case RegDataType::rdString:
            case RegDataType::rdExpandString:
                return reg.ReadString(name);  // the older layout, before conversion
            case RegDataType::rdInteger:
                return {};
            default:
                return reg.ReadBinaryData(name);
        }
    });
}

bool WriteTemplate(const std::string& name, const std::string& text) {
    return WithTemplates([&](TRegistry& reg) {
        if (text.empty()) {
            reg.DeleteValue(name);
        } else {
            reg.WriteBinaryData(name, text);
        }
        return reg.Flush();
    });
}

bool TemplateExists(const std::string& name) {
    return WithTemplates([&](TRegistry& reg) { return reg.ValueExists(name); });
}

std::vector<std::string> TemplateNames() {
    return WithTemplates([](TRegistry& reg) { return reg.GetValueNames(); });
}

bool TemplatesNeedConversion() {
    return WithTemplates([](TRegistry& reg) { return reg.GetDataType("change1") == RegDataType::rdString; });
}

bool ConvertTemplates() {
    TRegistryBatch batch;
    WithTemplates([](TRegistry& reg) {
        for (const auto& name : reg.GetValueNames()) {
            // Values already binary (a store converted half-way) are left as they are.
            const RegDataType type = reg.GetDataType(name);
            if (type != RegDataType::rdString && type != RegDataType::rdExpandString) continue;
            const std::string text = reg.ReadString(name);
            reg.DeleteValue(name);
            WriteTemplate(name, text);
        }
        return true;
    });
    return batch.Commit();
}

}  // namespace pelmar

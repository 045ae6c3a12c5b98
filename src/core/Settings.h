#pragma once
// The settings record of the logged-in profile, the global log-in switches, the list of profiles,
// the auto-type table and the shared template store, all kept in the registry store.
//
// Layout below HKEY_CURRENT_USER (RootKey = "Software\Quorvant\Pelmar Editor\1.0"):
//   RootKey                   UseLogin, AllowDefault, UseDialog
//   RootKey\Users\<name>      one key per profile
//   BaseKey\Settings          the fields of TSettings below, named like the values
//   BaseKey\AutoType          one binary value per auto-type entry (name = shortcut text)
//   BaseKey\Areas             the area tree (kept by the area manager)
//   RootKey\Templates         template texts (binary values), shared by all profiles
//   RootKey\Plugins\...       plug-in state (kept by the plug-in manager)
// BaseKey is RootKey for the profile "Default" (or no profile) and RootKey\Users\<name> otherwise.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/AutoType.h"

// The version comes from the build (project VERSION, passed on by pelmar_core) and nowhere else.
#ifndef PELMAR_VERSION_TEXT
#error "PELMAR_VERSION_TEXT is not defined: link the target with pelmar_core"
#endif

namespace pelmar {

class TRegistry;

inline const std::string RootKey = "Software\\Quorvant\\Pelmar Editor\\1.0";
inline const std::string UsersKey = RootKey + "\\Users";
inline const std::string TemplatesKey = RootKey + "\\Templates";
inline const std::string SettingsSubKey = "\\Settings";
inline const std::string AutoTypeSubKey = "\\AutoType";
inline const std::string AreasSubKey = "\\Areas";
inline const std::string DefaultUserName = "Default";

// Size names of the pseudographics font faces ("DOS " + name), indexed by DosFont.
inline constexpr std::array<std::string_view, 6> DosFontNames = {"4x6",  "5x12",  "6x8",
                                                                 "7x12", "10x18", "12x16"};
// The size a fresh store starts with: "10x18" reads at 100 % scale on today's screens, where the
// smaller faces are a few pixels tall. A stored choice is kept.
inline constexpr int32_t DefaultDosFont = 4;

inline constexpr std::array<uint8_t, 12> DefaultColorTable = {0x00, 0x0F, 0x02, 0x0F, 0x05, 0x0F,
                                                              0x06, 0x0F, 0x04, 0x0F, 0x09, 0x0F};
// Attribute word of a new message: only "Local".
inline constexpr uint16_t DefaultMessageAttr = 0x0001;

// Indexes of the colour pairs in ColorTable (each pair: text colour, background colour).
enum TColorEntry { ceText = 0, ceTearline = 1, ceOrigin = 2, ceQuote1 = 3, ceQuote2 = 4, ceKludge = 5 };

struct TSettings {
    // Stored under BaseKey\Settings; the names are the value names.
    bool SetupDone = false;
    bool BuildThreads = true;
    bool ShowKludges = true;
    bool ColourText = true;
    bool AutoCompile = true;
    bool TBBack = true;
    bool NotifyPersonal = true;  // newly arrived personal mail is announced on the desktop
    std::string VarFont = "MS Sans Serif";
    int32_t VarSize = 10;
    std::string FixFont = "FixedSys";
    int32_t FixSize = 10;
    int32_t DosFont = DefaultDosFont;  // index into DosFontNames
    std::string FullName = "Anonymous";
    std::vector<std::string> SelfAKA;
    std::vector<std::string> Uplinks;
    std::vector<std::string> NodeListFiles;
    std::vector<std::string> BookMarkNames;
    std::vector<std::string> BookMarkData;
    std::string DataFolder;  // defaults to ProgramFolder
    std::array<uint8_t, 12> ColorTable = DefaultColorTable;
    bool LineWrap = true;
    bool UseCache = true;
    int32_t CacheMax = 10;
    bool AutoSave = true;
    int32_t SaveTime = 5;  // minutes
    bool bNetFlag = false;
    std::string NetFlag;
    bool bEchoFlag = false;
    std::string EchoFlag;
    bool EditPlacement = false;
    bool UseURLs = true;
    bool AutoSpell = false;
    bool BMVisible = false;
    bool AutoAKA = false;
    std::string NetmailArea;  // ID of the netmail area
    uint16_t NetmailDef = DefaultMessageAttr;
    uint16_t EchomailDef = DefaultMessageAttr;
    bool IsAdmin = true;
    bool UsePassword = false;  // written only by the user administration
    std::string Magic;         // the log-in password as typed; written only by the user administration

    // Telling the tosser after a send: the echotoss.log to list echo tags in (empty: none), whether
    // JAM messages go to echomail.jam and where it is, the command run after sending (empty: none).
    std::string EchoTossLog;
    bool bEchomailJam = false;
    std::string EchomailJam;
    std::string AfterSendCommand;

    // Runtime only, never stored.
    std::string ProgramFolder;  // HomeFolder(), with a trailing '/'
    std::string VersionText = PELMAR_VERSION_TEXT;
    std::string CurrentUser;  // empty or "Default" for the root profile
    std::string BaseKey = RootKey;
    std::string PluginsKey = "Software\\Quorvant\\Pelmar Editor\\1.0\\Plugins\\";
    bool TextInWindowsCodePage = false;  // stored message text is shown as CP1251 when true

    // Global log-in switches, stored under RootKey by Load/SaveLoginSettings.
    bool UseLogin = false;
    bool AllowDefault = true;
    bool UseDialog = true;
    std::vector<std::string> UserList;  // sub-keys of RootKey\Users, sorted case-insensitively

    std::vector<TAutoTypeEntry> AutoTypeTable;
};

extern TSettings Settings;

// BaseKey of a profile: RootKey for "" and "Default", else RootKey\Users\<name>.
std::string ProfileBaseKey(const std::string& userName);

// The functions below return false when the store could not be saved (the text is in
// TRegistryStore::Instance().LastError() and has been reported); loading never fails: values that
// are missing or of the wrong type keep their defaults.
bool LoadLoginSettings();
bool SaveLoginSettings();
bool LoadSettings();
bool SaveSettings();

// String lists are kept as one string with CR LF after every line.
std::string StringListToText(const std::vector<std::string>& lines);
std::vector<std::string> TextToStringList(const std::string& text);

// The shared template store: one handle on RootKey\Templates, open from the end of log-in until
// shutdown. Each WriteTemplate is saved before it returns.
void OpenTemplateStore();
void CloseTemplateStore();
bool IsTemplateStoreOpen();
// The open handle (the template store must be open).
TRegistry& TemplateStore();
// The template's bytes; "" when it does not exist.
std::string ReadTemplate(const std::string& name);
// Writes the text as binary data; an empty text deletes the value. False when the save failed.
bool WriteTemplate(const std::string& name, const std::string& text);
bool TemplateExists(const std::string& name);
std::vector<std::string> TemplateNames();
// True when "change1" exists and is a string value (the older layout).
bool TemplatesNeedConversion();
// Rewrites every string value of the store as a binary value with the same bytes.
bool ConvertTemplates();

}  // namespace pelmar

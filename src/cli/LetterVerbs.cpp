#include "cli/LetterVerbs.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "areas/gizmo.h"
#include "cli/Json.h"
#include "cli/ToolText.h"
#include "core/Address.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "editor/AfterSend.h"
#include "editor/SendMessages.h"
#include "editor/Templates.h"
#include "editor/UUCode.h"
#include "import/AreaImport.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/BaseOpenFailure.h"
#include "msgbase/MessageBase.h"
#include "platform/Paths.h"
#include "platform/Registry.h"

namespace pelmar::cli {

const char* const LetterVerbsUsage =
    "  pelmar-tool send [--profile NAME] (--area TAG ... | --kind KIND PATH [--board N] [--netmail])\n"
    "                   --to NAME --subject TEXT [--from NAME] [--orig ADDR] [--dest ADDR]\n"
    "                   [--reply MSGID] [--attr NAMES] [--attach FILE [--lines N]] [--file BODY.txt]\n"
    "                   (the body is read from stdin without --file; the letter is the profile's\n"
    "                   template with the body where the caret mark stands; --area repeated\n"
    "                   crossposts; --attach sends the file uuencoded, in parts of N lines,\n"
    "                   default 500; exit 1 names every area not written, 4 says the letter was\n"
    "                   written but the command after sending of the settings failed)\n"
    "  pelmar-tool uu decode --kind KIND PATH [--board N] [--netmail] --out FOLDER\n"
    "                   (saves every complete uuencoded file of the base's messages under a safe name)\n"
    "  pelmar-tool areas list [--profile NAME]\n"
    "                   (one JSON line per entry of the profile's area tree, with its counters)\n"
    "  pelmar-tool areas add [--profile NAME] --name NAME [--parent FOLDER\\...] (--folder | --kind KIND\n"
    "                   PATH [--board N]) [--tag TAG] [--aka ADDR] [--netmail] [--description TEXT]\n"
    "                   (refused while Pelmar runs with this home: it stores the tree when it exits)\n";

namespace {

struct TLetterUsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct TToolFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct TArgs {
    std::string Verb;
    std::vector<std::string> Positional;
    std::map<std::string, std::vector<std::string>> Values;
    std::map<std::string, bool> Flags;

    bool Has(const std::string& name) const { return Values.count(name) != 0; }
    std::string Get(const std::string& name) const {
        const auto it = Values.find(name);
        return it == Values.end() ? std::string() : it->second.back();
    }
    bool Flag(const std::string& name) const { return Flags.count(name) != 0; }
};

TArgs Parse(int argc, char** argv, int first, const std::vector<std::string>& withValue,
            const std::vector<std::string>& flags, const std::vector<std::string>& repeatable) {
    TArgs args;
    auto in = [](const std::vector<std::string>& list, const std::string& s) {
        for (const auto& x : list) {
            if (x == s) return true;
        }
        return false;
    };
    for (int i = first; i < argc; ++i) {
        const std::string arg = argv[i];
        if (in(flags, arg)) {
            args.Flags[arg] = true;
        } else if (in(withValue, arg)) {
            if (i + 1 >= argc) throw TLetterUsageError(arg + " needs a value");
            auto& values = args.Values[arg];
            if (!values.empty() && !in(repeatable, arg)) throw TLetterUsageError(arg + " given twice");
            values.push_back(argv[++i]);
        } else if (arg.rfind("--", 0) == 0) {
            throw TLetterUsageError("unknown option " + arg);
        } else {
            args.Positional.push_back(arg);
        }
    }
    return args;
}

int KindNumber(const std::string& kind) {
    if (kind == "msg") return BaseKindMsg;
    if (kind == "jam") return BaseKindJam;
    if (kind == "hudson") return BaseKindHudson;
    if (kind == "squish") return BaseKindSquish;
    throw TLetterUsageError("unknown --kind '" + kind + "' (msg, squish, jam or hudson)");
}

const char* KindName(int kind) {
    switch (kind) {
        case AreaKindFolder:
            return "folder";
        case BaseKindMsg:
            return "msg";
        case BaseKindJam:
            return "jam";
        case BaseKindHudson:
            return "hudson";
        case BaseKindSquish:
            return "squish";
        default:
            return "unknown";
    }
}

// The area Path of a base named on the command line: Hudson puts the board in front.
std::string BasePath(const TArgs& args, int kind, const std::string& path) {
    if (kind != BaseKindHudson) return ToolIn(path);
    int board = 0;
    try {
        board = std::stoi(args.Get("--board"));
    } catch (const std::exception&) {
        throw TLetterUsageError("hudson bases need --board N (1..200)");
    }
    if (board < 1 || board > 200) throw TLetterUsageError("--board must be 1..200");
    return std::string(1, static_cast<char>(board)) + ToolIn(path);
}

// ---- The profile ---------------------------------------------------------------------------------

bool HaveSettings() {
    std::error_code ec;
    return std::filesystem::exists(RegistryFilePath(), ec);
}

void LoadProfile(const TArgs& args, bool required) {
    if (!HaveSettings()) {
        if (required)
            throw TToolFailure("no settings at " + RegistryFilePath() + " (start Pelmar once first)");
        return;
    }
    const std::string profile = ToolIn(args.Get("--profile"));
    if (!profile.empty() && !AnsiSameText(profile, DefaultUserName)) {
        LoadLoginSettings();
        bool known = false;
        for (const std::string& user : Settings.UserList) known |= AnsiSameText(user, profile);
        if (!known) throw TLetterUsageError("no profile named '" + args.Get("--profile") + "'");
    }
    Settings.CurrentUser = profile;
    LoadSettings();
}

// Every entry below the root, depth first.
std::vector<TAreaInfo*> TreeEntries(TAreaManager& manager) {
    std::vector<TAreaInfo*> entries;
    for (TAreaInfo* e = manager.Root().ChildCount() > 0 ? manager.Root().Child(0) : nullptr; e != nullptr;
         e = e->NextInTree()) {
        entries.push_back(e);
    }
    return entries;
}

TAreaInfo* FindByTag(TAreaManager& manager, const std::string& tag) {
    TAreaInfo* found = nullptr;
    for (TAreaInfo* e : TreeEntries(manager)) {
        if (e->Kind == AreaKindFolder || e->Zilo != ZiloOrdinary) continue;
        if (!AnsiSameText(e->AreaName, tag)) continue;
        if (found != nullptr && found->Path != e->Path) {
            throw TLetterUsageError("the tag " + ToolOut(tag) + " names more than one area");
        }
        if (found == nullptr) found = e;
    }
    return found;
}

// ---- Is Pelmar running with this home? -----------------------------------------------------------

std::string Sha1Hex(const std::string& bytes) {
    uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    std::string m = bytes;
    const uint64_t bits = static_cast<uint64_t>(bytes.size()) * 8;
    m += '\x80';
    while (m.size() % 64 != 56) m += '\0';
    for (int i = 7; i >= 0; --i) m += static_cast<char>((bits >> (i * 8)) & 0xFF);
    auto rol = [](uint32_t x, int n) { return (x << n) | (x >> (32 - n)); };
    for (size_t chunk = 0; chunk < m.size(); chunk += 64) {
        uint32_t w[80];
        for (int i = 0; i < 16; ++i) {
            w[i] = 0;
            for (int k = 0; k < 4; ++k) w[i] = (w[i] << 8) | static_cast<unsigned char>(m[chunk + i * 4 + k]);
        }
        for (int i = 16; i < 80; ++i) w[i] = rol(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int i = 0; i < 80; ++i) {
            uint32_t f, k;
            if (i < 20) {
                f = (b & c) | (~b & d), k = 0x5A827999;
            } else if (i < 40) {
                f = b ^ c ^ d, k = 0x6ED9EBA1;
            } else if (i < 60) {
                f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDC;
            } else {
                f = b ^ c ^ d, k = 0xCA62C1D6;
            }
            const uint32_t t = rol(a, 5) + f + e + k + w[i];
            e = d, d = c, c = rol(b, 30), b = a, a = t;
        }
        h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e;
    }
    char hex[41];
    for (int i = 0; i < 5; ++i) std::snprintf(hex + i * 8, 9, "%08x", h[i]);
    return hex;
}

bool SomeoneListens(const std::string& socketPath) {
    sockaddr_un address{};
    if (socketPath.size() >= sizeof address.sun_path) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

// The running copy listens on a local socket named after the user and the home (see the
// single-instance code of the program); a connection without a request is ignored there.
bool PelmarRunsWithThisHome() {
    std::vector<std::string> names;
    const std::string base = "pelmar-" + std::to_string(getuid());
    const char* home = std::getenv("PELMAR_HOME");
    if (home != nullptr && *home != '\0') {
        names.push_back(base + "-" + Sha1Hex(RegistryFilePath()).substr(0, 12));
        names.push_back(base + "-" + Sha1Hex(home).substr(0, 12));
    } else {
        names.push_back(base);
    }
    std::vector<std::string> folders;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
        std::error_code ec;
        if (std::filesystem::is_directory(runtime, ec)) {
            for (const auto& n : names) {
                if (SomeoneListens(std::string(runtime) + "/" + n + ".socket")) return true;
            }
            return false;
        }
    }
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
    for (const auto& n : names) {
        if (SomeoneListens(folder + "/" + n)) return true;
    }
    return false;
}

// ---- send ----------------------------------------------------------------------------------------

std::string ReadBody(const TArgs& args) {
    std::string bytes;
    if (!ReadAllText(args.Get("--file"), bytes)) throw TToolFailure("cannot read " + args.Get("--file"));
    return StoredBody(bytes);
}

std::string Address(const TArgs& args, const std::string& name) {
    const std::string address = args.Get(name);
    if (!address.empty() && !IsValidAddress(address)) {
        throw TLetterUsageError("bad address for " + name + ": '" + address + "'");
    }
    return address;
}

int Send(int argc, char** argv) {
    const TArgs args =
        Parse(argc, argv, 2,
              {"--profile", "--area", "--kind", "--board", "--to", "--subject", "--from", "--orig", "--dest",
               "--reply", "--attr", "--attach", "--lines", "--file", "--tag"},
              {"--netmail"}, {"--area"});
    for (const char* required : {"--to", "--subject"}) {
        if (!args.Has(required)) throw TLetterUsageError(std::string(required) + " is required");
    }
    const bool byTag = args.Has("--area");
    if (byTag == args.Has("--kind")) throw TLetterUsageError("give either --area TAG or --kind KIND PATH");
    if (args.Has("--kind") && args.Positional.size() != 1)
        throw TLetterUsageError("--kind needs one base path");
    if (!args.Has("--kind") && !args.Positional.empty()) {
        throw TLetterUsageError("unexpected argument " + args.Positional[0]);
    }
    LoadProfile(args, byTag);
    OpenTemplateStore();
    RegisterAreaImporters();

    // A home that was never set up has no templates: the letter takes the defaults.
    const bool noTemplates = TemplateNames().empty();
    const TTemplateReader read = [noTemplates](const std::string& name) {
        return noTemplates ? DefaultTemplate(name) : ReadTemplate(name);
    };

    TAreaManager manager;
    std::unique_ptr<TAreaInfo> named;
    TSendState s;
    if (byTag) {
        manager.LoadAreas();
        for (const std::string& tag : args.Values.at("--area")) {
            TAreaInfo* area = FindByTag(manager, ToolIn(tag));
            if (area == nullptr) throw TLetterUsageError("no area with the tag " + tag + " in the area tree");
            s.Destinations.push_back(area);
        }
    } else {
        named = std::make_unique<TAreaInfo>();
        named->Kind = KindNumber(args.Get("--kind"));
        named->Path = BasePath(args, named->Kind, args.Positional[0]);
        named->IsNetmail = args.Flag("--netmail");
        named->AreaName = ToolIn(args.Get("--tag"));
        named->Name = named->AreaName.empty() ? named->Path : named->AreaName;
        s.Destinations.push_back(named.get());
    }
    bool anyNetmail = false;
    for (const TAreaInfo* area : s.Destinations) anyNetmail |= area->IsNetmail;

    s.FromName = args.Has("--from") ? ToolIn(args.Get("--from")) : Settings.FullName;
    s.SelectedAKA = Address(args, "--orig");
    if (s.SelectedAKA.empty()) {
        for (const std::string& aka : Settings.SelfAKA) {
            if (IsValidAddress(aka)) {
                s.SelectedAKA = aka;
                break;
            }
        }
    }
    if (s.SelectedAKA.empty())
        throw TLetterUsageError("--orig is required: the settings hold no own address");
    s.AutoAKA = Settings.AutoAKA && !args.Has("--orig");
    s.ToName = ToolIn(args.Get("--to"));
    s.Subject = ToolIn(args.Get("--subject"));
    s.DestAddress = Address(args, "--dest");
    s.DestAddressVisible = anyNetmail;
    s.ReplyMsgId = ToolIn(args.Get("--reply"));
    s.Attributes = anyNetmail ? Settings.NetmailDef : Settings.EchomailDef;
    if (args.Has("--attr") && !ParseAttrText(args.Get("--attr"), s.Attributes)) {
        throw TLetterUsageError("unknown attribute in '" + args.Get("--attr") + "'");
    }

    int lines = 500;
    if (args.Has("--lines")) {
        try {
            lines = std::stoi(args.Get("--lines"));
        } catch (const std::exception&) {
            lines = 0;
        }
        if (lines < 1) throw TLetterUsageError("--lines must be a positive number");
    }
    std::string body = ReadBody(args);
    if (args.Has("--attach")) {
        try {
            EncodeFileToSections(args.Get("--attach"), lines, s.UUSections);
        } catch (const EUUError& e) {
            throw TToolFailure(e.what());
        }
        s.UUSplit = s.UUSections.size() > 1;
        body += CleanText(s.UUSections.front());
    }

    for (const TAreaInfo* area : s.Destinations)
        s.Template.Destinations.push_back({area->ID, area->AreaName});
    CollectHeaderValues(s, TemplateLines(read(tpl::RobotNames)), s.Template);
    s.Body = InsertAtCursor(ExpandTemplateWithCursor(s.Template, read), body);

    const TSendResult result = SendMessages(s, read);
    for (const std::string& warning : result.Warnings)
        std::cerr << "pelmar-tool: warning: " << ToolOut(warning) << '\n';
    for (const TSendFailure& failure : result.Failed) {
        const std::string area = failure.Area != nullptr ? AreaLabel(*failure.Area) + ": " : std::string();
        std::cerr << "pelmar-tool: not written: " << ToolOut(area + failure.Reason) << '\n';
    }
    std::cout << result.Written << '\n';
    // The tosser's scan runs once for the whole letter, and only when something was written.
    std::string failure;
    const bool scanned = result.Written == 0 || RunAfterSendCommand(failure);
    if (!scanned) std::cerr << "pelmar-tool: " << ToolOut(failure) << '\n';
    if (!result.Ok()) return 1;
    return scanned ? 0 : 4;
}

// ---- uu decode -----------------------------------------------------------------------------------

std::string FreeName(const std::filesystem::path& folder, const std::string& name) {
    std::error_code ec;
    if (!std::filesystem::exists(folder / name, ec)) return (folder / name).string();
    for (int i = 1;; ++i) {
        const std::string candidate = name + "." + std::to_string(i);
        if (!std::filesystem::exists(folder / candidate, ec)) return (folder / candidate).string();
    }
}

int UuDecode(int argc, char** argv) {
    const TArgs args = Parse(argc, argv, 3, {"--kind", "--board", "--out"}, {"--netmail"}, {});
    if (!args.Has("--kind")) throw TLetterUsageError("--kind is required");
    if (!args.Has("--out")) throw TLetterUsageError("--out FOLDER is required");
    if (args.Positional.size() != 1) throw TLetterUsageError("give one base path");
    const int kind = KindNumber(args.Get("--kind"));
    auto base = CreateMessageBase(kind);
    if (!base) throw TToolFailure("this build cannot open bases of kind " + args.Get("--kind"));
    base->SetPath(BasePath(args, kind, args.Positional[0]));
    base->Open();
    if (!base->Active) throw TToolFailure("cannot open the base at " + args.Positional[0]);
    base->Netmail = args.Flag("--netmail");

    TUUDecoder decoder;
    int unreadable = 0;
    for (bool more = base->First(); more; more = base->Next()) {
        const int32_t position = base->Current;
        try {
            base->ReadMessage(position);
        } catch (const std::exception& e) {
            ++unreadable;
            std::cerr << "pelmar-tool: message at position " << position << ": " << ToolOut(e.what()) << '\n';
            continue;
        }
        if (!decoder.AddText(base->Text)) {
            std::cerr << "pelmar-tool: message at position " << position
                      << ": a file of the same name is already listed; the rest of the message is skipped\n";
        }
    }
    const std::filesystem::path folder = args.Get("--out");
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    int failed = 0;
    for (size_t i = 0; i < decoder.Files().size();) {
        const TFileInfo& file = decoder.Files()[i];
        if (!file.Complete()) {
            std::cerr << "pelmar-tool: incomplete: " << ToolOut(file.Name) << " (" << file.SectionsDone
                      << " of " << file.SectionCount << " sections)\n";
            ++i;
            continue;
        }
        const std::string target = FreeName(folder, ToolOut(SafeFileName(file.Name)));
        std::string error;
        if (decoder.Save(i, target, error)) {
            std::cout << target << '\n';
        } else {
            ++failed;
            std::cerr << "pelmar-tool: not saved: " << error << '\n';
            ++i;
        }
    }
    if (failed > 0) return 1;
    return unreadable > 0 ? 3 : 0;
}

// ---- areas ---------------------------------------------------------------------------------------

int AreasList(int argc, char** argv) {
    const TArgs args = Parse(argc, argv, 3, {"--profile"}, {}, {});
    if (!args.Positional.empty()) throw TLetterUsageError("unexpected argument " + args.Positional[0]);
    LoadProfile(args, true);
    RegisterAreaImporters();
    TAreaManager manager;
    manager.LoadAreas();
    for (TAreaInfo* e : TreeEntries(manager)) {
        TJsonLine json;
        json.Add("entry", ToolOut(e->PathName()));
        json.Add("kind", std::string(e->Zilo == ZiloLinkedGroup ? "linked" : KindName(e->Kind)));
        json.Add("path",
                 ToolOut(e->Kind == BaseKindHudson && !e->Path.empty() ? e->Path.substr(1) : e->Path));
        if (e->Kind == BaseKindHudson && !e->Path.empty()) {
            json.Add("board", static_cast<long long>(static_cast<unsigned char>(e->Path[0])));
        }
        json.Add("tag", ToolOut(e->AreaName));
        json.Add("description", ToolOut(e->Description));
        json.Add("aka", ToolOut(e->UseAKA));
        json.Add("netmail", e->IsNetmail);
        if (e->Kind != AreaKindFolder && e->Zilo == ZiloOrdinary) {
            TOpenedBase base(*e, TBaseMode::Private);
            if (base) {
                try {
                    const int32_t count = base->Count();
                    const int32_t unread = base->CountUnread();
                    json.Add("messages", static_cast<long long>(count));
                    json.Add("unread", static_cast<long long>(unread));
                    json.Add("personal", static_cast<long long>(base->PersonalUnread));
                } catch (const std::exception& ex) {
                    json.Add("error", true);
                    json.Add("reason", BaseOpenFailureKey(TBaseOpenFailure::Damaged));
                    json.Add("detail", ToolOut(ex.what()));
                }
            } else {
                json.Add("error", true);
                json.Add("reason", BaseOpenFailureKey(BaseOpenFailureReason(e->Kind, e->Path)));
            }
        }
        std::cout << json.Text() << '\n';
    }
    return 0;
}

TAreaInfo* FindFolder(TAreaManager& manager, const std::string& path) {
    TAreaInfo* folder = &manager.Root();
    size_t start = 0;
    while (start < path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string::npos) end = path.size();
        const std::string name = path.substr(start, end - start);
        start = end + 1;
        if (name.empty()) continue;
        TAreaInfo* child = folder->FindChild(name);
        if (child == nullptr || child->Kind != AreaKindFolder || child->Zilo != ZiloOrdinary) {
            throw TLetterUsageError("no folder " + ToolOut(path) + " in the area tree");
        }
        folder = child;
    }
    return folder;
}

int AreasAdd(int argc, char** argv) {
    const TArgs args =
        Parse(argc, argv, 3,
              {"--profile", "--name", "--parent", "--kind", "--board", "--tag", "--aka", "--description"},
              {"--folder", "--netmail"}, {});
    if (!args.Has("--name") || args.Get("--name").empty()) throw TLetterUsageError("--name is required");
    if (args.Flag("--folder") == args.Has("--kind"))
        throw TLetterUsageError("give either --folder or --kind KIND PATH");
    if (args.Has("--kind") && args.Positional.size() != 1)
        throw TLetterUsageError("--kind needs one base path");
    if (args.Flag("--folder") && !args.Positional.empty()) {
        throw TLetterUsageError("unexpected argument " + args.Positional[0]);
    }
    const std::string aka = Address(args, "--aka");
    if (PelmarRunsWithThisHome()) {
        throw TToolFailure(
            "Pelmar is running with this home; it stores the area tree when it exits, so close it first");
    }
    // A fresh home gets its first tree here.
    LoadProfile(args, false);
    RegisterAreaImporters();
    TAreaManager manager;
    manager.LoadAreas();
    TAreaInfo* parent = FindFolder(manager, ToolIn(args.Get("--parent")));
    const std::string name = ToolIn(args.Get("--name"));
    if (parent->FindChild(name) != nullptr)
        throw TToolFailure("the folder already holds an entry " + args.Get("--name"));

    auto entry = std::make_unique<TAreaInfo>();
    entry->Name = name;
    entry->Description = ToolIn(args.Get("--description"));
    if (args.Has("--kind")) {
        entry->Kind = KindNumber(args.Get("--kind"));
        // Pelmar opens the base from wherever it was started: store the path absolute.
        const std::string path = std::filesystem::absolute(args.Positional[0]).lexically_normal().string();
        entry->Path = BasePath(args, entry->Kind, path);
        entry->AreaName = ToolIn(args.Get("--tag"));
        entry->UseAKA = aka;
        entry->IsNetmail = args.Flag("--netmail");
    }
    parent->AddChild(std::move(entry));
    if (!manager.SaveAreas())
        throw TToolFailure("the area tree could not be saved: " +
                           ToolOut(TRegistryStore::Instance().LastError()));
    return 0;
}

}  // namespace

bool IsLetterVerb(int argc, char** argv) {
    if (argc < 2) return false;
    const std::string verb = argv[1];
    return verb == "send" || verb == "uu" || verb == "areas";
}

int RunLetterVerb(int argc, char** argv) {
    const std::string verb = argv[1];
    const std::string sub = argc > 2 ? argv[2] : "";
    try {
        if (verb == "send") return Send(argc, argv);
        if (verb == "uu" && sub == "decode") return UuDecode(argc, argv);
        if (verb == "areas" && sub == "list") return AreasList(argc, argv);
        if (verb == "areas" && sub == "add") return AreasAdd(argc, argv);
        throw TLetterUsageError("unknown command '" + verb + (sub.empty() ? "" : " " + sub) + "'");
    } catch (const TLetterUsageError& e) {
        std::cerr << "pelmar-tool: " << e.what() << '\n' << "usage:\n" << LetterVerbsUsage;
        return 1;
    } catch (const TToolFailure& e) {
        std::cerr << "pelmar-tool: " << e.what() << '\n';
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "pelmar-tool: " << ToolOut(e.what()) << '\n';
        return 1;
    }
}

}  // namespace pelmar::cli

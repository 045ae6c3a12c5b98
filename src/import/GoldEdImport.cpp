#include "import/GoldEdImport.h"

#include <sys/stat.h>

#include <cerrno>
#include <exception>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <utility>

#include "areas/AreaEdits.h"
#include "core/Codepage.h"
#include "core/Errors.h"
#include "core/Settings.h"
#include "import/ConfigLines.h"
#include "import/DosPath.h"
#include "import/ImportedNetmail.h"
#include "platform/Registry.h"
#include "settings/SetupRules.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

std::function<void()>& Prepare() {
    static std::function<void()> prepare;
    return prepare;
}

std::function<void()>& Finish() {
    static std::function<void()> finish;
    return finish;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string WithSlash(const std::string& dir) {
    if (dir.empty() || dir.back() == '/' || dir.back() == '\\') return dir;
    // A DOS path keeps its own separator so that it resolves as one.
    return dir + (dir.find('\\') != std::string::npos ? "\\" : "/");
}

std::string Strip(const std::string& text, const char* chars) {
    const size_t first = text.find_first_not_of(chars);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(chars) - first + 1);
}

// Throws unless `path` is a regular file: a FIFO would read as empty, a device without end.
void RequireRegularFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) throw EReadError(ErrnoText(path));
    if (!S_ISREG(info.st_mode)) throw EReadError(path + ": not a regular file");
}

// A relative name means the folder of GOLDED.CFG.
std::vector<std::string> ReadTearlineFile(const std::string& name, const std::string& configDir) {
    std::vector<std::string> lines;
    try {
        const std::string path = ResolveConfigPath(name, configDir);
        RequireRegularFile(path);
        TConfigLines file;
        if (!file.Open(path)) return {};
        std::string line;
        while (file.Next(line))
            if (!line.empty()) lines.push_back(line);
    } catch (const std::exception&) {
        return {};
    }
    return lines;
}

struct TAreaFileType {
    const char* Word;  // with the blank that ends it
    const char* GroupName;
    int Kind;
    const char* FileName;  // appended to the directory; "" when the value names the file itself
    int32_t Options;
};

constexpr TAreaFileType AreaFileTypes[] = {
    {"FASTECHO", "FastEcho", LinkKindFastEcho, "FASTECHO.CFG", 1},
    {"SQUISH", "Squish", LinkKindSquish, "SQUISH.CFG", 7},
    {"AREASBBS", "AreasBBS", LinkKindAreasBbs, "", 0},
    {"FIDOCONFIG", "Fidoconfig", LinkKindFidoConfig, "", 7},
    {"CRASHMAIL", "CrashMail", LinkKindCrashMail, "", 7},
};

std::string UniqueName(const std::vector<TPlannedGroup>& groups, const std::string& base) {
    std::set<std::string> taken;
    for (const TPlannedGroup& group : groups) taken.insert(group.Fields.Name);
    std::string name = base;
    for (int n = 2; taken.count(name) != 0; ++n) name = base + " " + std::to_string(n);
    return name;
}

bool IsFile(const std::string& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

// The configuration file an AREAFILE value names: `given` itself when it is a file (as Linux set-ups
// often write it), else the directory + the program's file name. Relative to the folder of GOLDED.CFG.
std::string AreaFilePath(const std::string& given, const char* fileName, const std::string& configDir) {
    const std::string asFile = ResolveConfigPath(given, configDir);
    if (*fileName == '\0' || IsFile(asFile)) return asFile;
    return ResolveConfigPath(WithSlash(given) + fileName, configDir);
}

void AddAreaFile(TGoldEdPlan& plan, const std::string& value, const std::string& configDir) {
    const std::string upper = AnsiUpperCase(value);
    for (const TAreaFileType& type : AreaFileTypes) {
        const std::string word = type.Word;
        if (upper.size() <= word.size() || upper.compare(0, word.size(), word) != 0 ||
            !IsBlank(upper[word.size()]))
            continue;
        size_t start = word.size();
        while (start < upper.size() && IsBlank(upper[start])) ++start;
        // DOS configurations are read upper-cased; a path written in its own case (UTF-8 names
        // would not survive CP1251 casing) is taken as written when it exists.
        std::string file = AreaFilePath(value.substr(start), type.FileName, configDir);
        if (!IsFile(file)) file = AreaFilePath(upper.substr(start), type.FileName, configDir);
        // The same list named again would give a second group of the same areas, and be read again
        // for each time it is named.
        for (const TPlannedGroup& planned : plan.Groups)
            if (planned.Fields.Kind == type.Kind && planned.Fields.Path == file) return;
        TPlannedGroup group;
        group.Fields.Name = UniqueName(plan.Groups, type.GroupName);
        group.Fields.Zilo = ZiloLinkedGroup;
        group.Fields.Kind = type.Kind;
        group.Fields.Path = file;
        group.Options = type.Options;
        plan.Groups.push_back(std::move(group));
        return;
    }
}

// A nodelist named in a DOS configuration ("C:\NODES\NODELIST.123") as the file on this machine; a
// name that matches no file (a mask, or a list not there yet) still gets the folder found for it.
// Relative names are taken from the folder of GOLDED.CFG.
std::string NodeListPath(const std::string& written, const std::string& configDir) {
    const std::string resolved = ResolveConfigPath(written, configDir);
    if (IsFile(resolved)) return resolved;
    const size_t slash = written.find_last_of("/\\");
    if (slash == std::string::npos) return resolved;
    const std::string folder = ResolveConfigPath(written.substr(0, slash + 1), configDir);
    return WithSlash(folder) + written.substr(slash + 1);
}

// The user's own settings the import replaces, to put back when it cannot be saved.
struct TOwnSettings {
    std::string FullName;
    std::vector<std::string> SelfAKA;
    std::vector<std::string> NodeListFiles;
    std::string NetmailArea;
};

// The main window's tree while the plan's groups are built apart from it: their refresh must not
// give it nodes for entries that may never join the tree.
class TNoTreeViewScope {
public:
    TNoTreeViewScope() : view_(AreaTreeView()) { SetAreaTreeView(nullptr); }
    ~TNoTreeViewScope() { SetAreaTreeView(view_); }
    TNoTreeViewScope(const TNoTreeViewScope&) = delete;
    TNoTreeViewScope& operator=(const TNoTreeViewScope&) = delete;

private:
    TAreaTreeView* view_;
};

// Thrown inside the store's batch so that the batch puts the store back as it was.
class ENotStored : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes the three lists and the settings (as they are in memory) and saves the store once. On
// failure the store in memory is put back as it was before, so that no later save carries half an
// import to the disk, and the reason (CP1251) is returned; empty when everything was saved.
std::string StorePlan(const TGoldEdPlan& plan) {
    TRegistryStore& store = TRegistryStore::Instance();
    try {
        TRegistryBatch batch(store);
        bool written = true;
        if (IsTemplateStoreOpen()) {
            written &=
                WriteTemplate("origin.list", plan.Origins.empty() ? "" : StringListToText(plan.Origins));
            written &= WriteTemplate("robot.names",
                                     plan.RobotNames.empty() ? "" : StringListToText(plan.RobotNames));
            written &= WriteTemplate("tearline.list",
                                     plan.Tearlines.empty() ? "" : StringListToText(plan.Tearlines));
        }
        written &= SaveSettings();
        if (!written) throw ENotStored(Utf8ToAnsi("Не удалось записать настройки."));
        if (!store.Save()) {
            const std::string reason = store.LastError();
            throw ENotStored(reason.empty() ? Utf8ToAnsi("Не удалось записать настройки.") : reason);
        }
    } catch (const std::exception& error) {
        return error.what();
    }
    return {};
}

}  // namespace

std::string StageGroups(const TGoldEdPlan& plan, TAreaInfo& staging) {
    const TNoTreeViewScope noView;
    for (const TPlannedGroup& planned : plan.Groups) {
        auto group = std::make_unique<TAreaInfo>();
        group->Name = planned.Fields.Name;
        group->Zilo = ZiloLinkedGroup;
        group->Kind = planned.Fields.Kind;
        group->Path = planned.Fields.Path;
        group->Read = planned.Options;
        if (!staging.AddChild(std::move(group))->RefreshLinkedGroup())
            return Utf8ToAnsi("Не удалось прочитать список областей ") + planned.Fields.Path;
    }
    return {};
}

std::optional<std::string> FindGoldEdConfig(const std::string& directory) {
    if (directory.empty()) return std::nullopt;
    const std::string path = ResolveDosPath(WithSlash(directory) + "GOLDED.CFG");
    std::error_code error;
    if (!fs::exists(path, error)) return std::nullopt;
    return path;
}

TGoldEdPlan ReadGoldEdConfig(const std::string& file) {
    RequireRegularFile(file);
    TConfigLines lines;
    if (!lines.Open(file)) throw EReadError(ErrnoText(file));
    TGoldEdPlan plan;
    const std::string configDir = ConfigFolder(file);
    std::string nodePath;
    std::string line;
    while (lines.Next(line)) {
        if (line.empty() || line.front() == ';') continue;
        size_t blank = 0;
        while (blank < line.size() && !IsBlank(line[blank])) ++blank;
        if (blank == line.size()) continue;
        const std::string keyword = AnsiUpperCase(line.substr(0, blank));
        const std::string value = line.substr(blank + 1);
        if (keyword == "USERNAME") {
            plan.FullName = value;
        } else if (keyword == "ADDRESS") {
            plan.SelfAKA.insert(plan.SelfAKA.begin(), value);
        } else if (keyword == "AKA") {
            plan.SelfAKA.push_back(value);
        } else if (keyword == "ORIGIN") {
            plan.Origins.push_back(Strip(value, " \t\""));
        } else if (keyword == "NODEPATH") {
            nodePath = WithSlash(value);
        } else if (keyword == "NODELIST") {
            plan.NodeListFiles.push_back(NodeListPath(nodePath + value, configDir));
        } else if (keyword == "ROBOTNAME") {
            plan.RobotNames.push_back(value);
        } else if (keyword == "TEARLINE") {
            if (!value.empty() && value.front() == '@') {
                plan.Tearlines = ReadTearlineFile(value.substr(1), configDir);
            } else {
                plan.Tearlines.push_back(value);
            }
        } else if (keyword == "AREAFILE") {
            AddAreaFile(plan, value, configDir);
        }
    }
    return plan;
}

void SetGoldEdImportPrepare(std::function<void()> prepare) {
    Prepare() = std::move(prepare);
}

void SetGoldEdImportFinish(std::function<void()> finish) {
    Finish() = std::move(finish);
}

TGoldEdResult ApplyGoldEdPlan(const TGoldEdPlan& plan, TAreaInfo& root) {
    if (Prepare()) Prepare()();
    // Whatever happens below, what the preparation closed comes back.
    struct TFinish {
        ~TFinish() {
            if (!Finish()) return;
            try {
                Finish()();
            } catch (...) {
                // Reported by the finisher; an exception must not leave a destructor.
            }
        }
    } finish;

    TGoldEdResult result;
    // Freed with what it holds when the import stops: no window has seen these entries.
    TAreaInfo staging;
    try {
        result.Reason = StageGroups(plan, staging);
    } catch (const std::exception& error) {
        result.Reason = error.what();
    }
    if (!result.Reason.empty()) return result;

    // The scan compares recipients with the user's name while it counts an area, staged ones too.
    const TOwnSettings before{Settings.FullName, Settings.SelfAKA, Settings.NodeListFiles,
                              Settings.NetmailArea};
    // The old tree goes: replies by netmail go to the new area of the old one's tag, or else to the
    // netmail area the lists bring.
    const std::string netmailArea = NetmailAreaAfterImport(
        Settings.NetmailArea, NetmailCandidates(staging, nullptr, true), NetmailAreaTag(root));
    ChangeWhileScanWaits(&root, [&] {
        ChangeWhileScanWaits(&staging, [&] {
            if (plan.FullName) Settings.FullName = *plan.FullName;
            Settings.SelfAKA = plan.SelfAKA;
            Settings.NodeListFiles = plan.NodeListFiles;
            Settings.NetmailArea = netmailArea;
        });
    });
    result.Reason = StorePlan(plan);
    if (!result.Reason.empty()) {
        ChangeWhileScanWaits(&root, [&] {
            ChangeWhileScanWaits(&staging, [&] {
                Settings.FullName = before.FullName;
                Settings.SelfAKA = before.SelfAKA;
                Settings.NodeListFiles = before.NodeListFiles;
                Settings.NetmailArea = before.NetmailArea;
            });
        });
        return result;
    }

    if (TAreaTreeView* view = AreaTreeView()) view->ClearSelection();
    {
        // As the area manager deletes: open editors and the main window let go of every entry.
        const TTreeUpdateScope update;
        for (int i = root.ChildCount() - 1; i >= 0; --i) DeleteEntry(*root.Child(i));
        while (staging.ChildCount() > 0) root.AddChild(staging.RemoveChild(staging.Child(0)));
    }
    result.Applied = true;
    return result;
}

bool ImportGoldEdConfig(const std::string& directory, TAreaInfo& root) {
    const std::optional<std::string> file = FindGoldEdConfig(directory);
    if (!file) return false;
    const TGoldEdPlan plan = ReadGoldEdConfig(*file);
    const TGoldEdResult result = ApplyGoldEdPlan(plan, root);
    if (!result.Applied) throw std::runtime_error(result.Reason);
    return true;
}

}  // namespace pelmar

// TAreaManager: the area tree in the registry, below BaseKey\Areas. Every entry is a sub-key named by
// its Name below its parent's key; the Areas key itself is the root and holds no values.
#include <unordered_set>

#include "areas/gizmo.h"
#include "core/Codepage.h"
#include "core/Settings.h"
#include "platform/Registry.h"

namespace pelmar {

namespace {

class TAreaLoader {
public:
    explicit TAreaLoader(std::vector<std::string>& notes) : notes_(notes) {}

    void LoadChildren(const std::string& key, TAreaInfo& parent) {
        TRegistry reg;
        if (!reg.OpenKey(key, false)) return;
        const std::vector<std::string> names = reg.GetKeyNames();
        reg.CloseKey();
        LoadChildren(key, names, parent);
    }

private:
    // Each entry's key is opened once, for its values and the names below it.
    void LoadChildren(const std::string& key, const std::vector<std::string>& names, TAreaInfo& parent) {
        for (const std::string& name : names) {
            const std::string childKey = key + "\\" + name;
            auto entry = std::make_unique<TAreaInfo>();
            entry->Name = name;
            std::vector<std::string> below;
            {
                TRegistry reg;
                if (!reg.OpenKey(childKey, false)) continue;
                ReadValues(reg, childKey, *entry);
                below = reg.GetKeyNames();
            }
            TAreaInfo* added = parent.AddChild(std::move(entry));
            LoadChildren(childKey, below, *added);
            if (added->Zilo == ZiloLinkedGroup && !added->RefreshLinkedGroup())
                notes_.push_back(Utf8ToAnsi("Связанная группа \"") + added->PathName() +
                                 Utf8ToAnsi("\" не обновлена: её файл не прочитан"));
        }
    }

    void ReadValues(TRegistry& reg, const std::string& key, TAreaInfo& entry) {
        reg_ = &reg;
        key_ = key;
        int32_t number = 0;
        if (Integer("Zilo", number)) entry.Zilo = static_cast<uint8_t>(number);
        String("Path", entry.Path);
        String("WildInclude", entry.WildInclude);
        String("WildExclude", entry.WildExclude);
        String("AKAInclude", entry.AKAInclude);
        String("AKAExclude", entry.AKAExclude);
        String("Description", entry.Description);
        Integer("Kind", entry.Kind);
        if (Integer("Read", number)) entry.Read = number;
        if (Integer("MsgCount", number)) entry.MsgCount = number;
        String("AreaName", entry.AreaName);
        String("Uplink", entry.Uplink);
        String("LastMSGID", entry.LastMSGID);
        std::string id;
        // Bookmarks and the netmail setting find areas by ID: an empty or repeated one would make them
        // point at the wrong area, so such an entry keeps the fresh ID it was made with.
        if (String("ID", id)) {
            if (!id.empty() && ids_.insert(id).second)
                entry.ID = id;
            else
                Note(key, "ID");
        }
        ids_.insert(entry.ID);
        String("UseAKA", entry.UseAKA);
        entry.IsNetmail = entry.Kind == BaseKindMsgForNetmail;
        if (reg.ValueExists("IsNetmail")) {
            try {
                entry.IsNetmail = reg.ReadBool("IsNetmail");
            } catch (const ERegistryError&) {
                Note(key, "IsNetmail");
            }
        }
        reg_ = nullptr;
    }

    bool Integer(const char* name, int32_t& field) {
        if (!reg_->ValueExists(name)) return false;
        try {
            field = reg_->ReadInteger(name);
            return true;
        } catch (const ERegistryError&) {
            Note(key_, name);
            return false;
        }
    }
    bool String(const char* name, std::string& field) {
        if (!reg_->ValueExists(name)) return false;
        try {
            field = reg_->ReadString(name);
            return true;
        } catch (const ERegistryError&) {
            Note(key_, name);
            return false;
        }
    }

    void Note(const std::string& key, const char* value) {
        notes_.push_back(Utf8ToAnsi("Неверное значение \"") + value + Utf8ToAnsi("\" в разделе ") + key);
    }

    // Kind 1 (*.MSG) is netmail unless the entry says otherwise.
    static constexpr int BaseKindMsgForNetmail = 1;

    std::vector<std::string>& notes_;
    std::unordered_set<std::string> ids_;
    TRegistry* reg_ = nullptr;
    std::string key_;
};

// Registry key names cannot be empty, hold a backslash (it separates keys) or control characters,
// and compare ignoring case; a name that breaks one of these would merge two siblings into one key or
// land somewhere else, so it is changed into one that is free.
std::string KeyNameFor(const std::string& name, std::unordered_set<std::string>& taken) {
    std::string base = name;
    for (char& c : base) {
        if (c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '_';
    }
    if (base.empty()) base = "_";
    std::string candidate = base;
    for (int n = 2; !taken.insert(AnsiUpperCase(candidate)).second; ++n)
        candidate = base + " (" + std::to_string(n) + ")";
    return candidate;
}

class TAreaSaver {
public:
    explicit TAreaSaver(std::vector<std::string>& notes) : notes_(notes) {}

    void SaveChildren(const std::string& key, TAreaInfo& parent) {
        std::unordered_set<std::string> taken;
        for (int i = 0; i < parent.ChildCount(); ++i) {
            TAreaInfo& child = *parent.Child(i);
            const std::string keyName = KeyNameFor(child.Name, taken);
            if (keyName != child.Name) {
                notes_.push_back(Utf8ToAnsi("Область \"") + child.PathName() +
                                 Utf8ToAnsi("\" сохранена под именем \"") + keyName + "\"");
                child.Name = keyName;
            }
            const std::string childKey = key + "\\" + keyName;
            WriteValues(childKey, child);
            SaveChildren(childKey, child);
        }
    }

private:
    static void WriteValues(const std::string& key, const TAreaInfo& entry) {
        TRegistry reg;
        reg.OpenKey(key, true);
        reg.WriteString("Path", entry.Path);
        reg.WriteInteger("Kind", entry.Kind);
        reg.WriteInteger("Zilo", entry.Zilo);
        reg.WriteString("Description", entry.Description);
        reg.WriteInteger("Read", entry.Read.load());
        reg.WriteInteger("MsgCount", entry.MsgCount.load());
        reg.WriteString("AreaName", entry.AreaName);
        reg.WriteString("WildInclude", entry.WildInclude);
        reg.WriteString("WildExclude", entry.WildExclude);
        reg.WriteString("AKAInclude", entry.AKAInclude);
        reg.WriteString("AKAExclude", entry.AKAExclude);
        reg.WriteString("Uplink", entry.Uplink);
        reg.WriteString("LastMSGID", entry.LastMSGID);
        reg.WriteString("ID", entry.ID);
        reg.WriteString("UseAKA", entry.UseAKA);
        reg.WriteBool("IsNetmail", entry.IsNetmail);
    }

    std::vector<std::string>& notes_;
};

}  // namespace

TAreaManager::TAreaManager() : root_(std::make_unique<TAreaInfo>()) {}

TAreaManager::~TAreaManager() = default;

std::string TAreaManager::AreasKey() {
    return "\\" + Settings.BaseKey + AreasSubKey;
}

void TAreaManager::LoadAreas() {
    notes_.clear();
    // Loading twice must not double the tree.
    while (root_->ChildCount() > 0) root_->RemoveChild(root_->Child(root_->ChildCount() - 1));
    {
        TRegistry reg;
        reg.OpenKey(AreasKey(), true);
    }
    TAreaLoader(notes_).LoadChildren(AreasKey(), *root_);
    root_->SortShown();
}

bool TAreaManager::SaveAreas() {
    notes_.clear();
    TRegistryBatch batch;
    {
        TRegistry reg;
        reg.DeleteKey(AreasKey());
        reg.OpenKey(AreasKey(), true);
    }
    TAreaSaver(notes_).SaveChildren(AreasKey(), *root_);
    return batch.Commit();
}

TAreaInfo* TAreaManager::NetmailAreaObject() const {
    if (Settings.NetmailArea.empty()) return nullptr;
    // This tree only: an import container or another manager's copy may carry the same ID.
    for (TAreaInfo* entry = root_->NextInTree(); entry != nullptr; entry = entry->NextInTree()) {
        if (entry->ID == Settings.NetmailArea) return entry;
    }
    return nullptr;
}

}  // namespace pelmar

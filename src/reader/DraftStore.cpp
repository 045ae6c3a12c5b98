#include "reader/DraftStore.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "msgbase/FidoBase.h"

namespace pelmar {

namespace fs = std::filesystem;

namespace {

const std::string SavedPrefix = "SAVED:";
const char* const StoreName = "drafts";
const char* const NewName = "drafts.new";
const char* const OldName = "drafts.old";

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

// The folder as the file system resolves it, for comparing; the lexical form when it does not exist.
fs::path Canonical(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::path(path), ec);
    if (ec) p = fs::path(path).lexically_normal();
    std::string s = p.string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return fs::path(s);
}

bool SamePath(const fs::path& a, const fs::path& b) {
    return a == b;
}

bool Inside(const fs::path& inner, const fs::path& outer) {
    auto [o, i] = std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end());
    return o == outer.end();
}

int64_t StemNumber(const std::string& stem) {
    try {
        size_t used = 0;
        const long long n = std::stoll(stem, &used);
        return used == stem.size() ? n : -1;
    } catch (...) {
        return -1;
    }
}

void SyncDir(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::string SavedLine(const std::vector<std::string>& areaIds) {
    std::string line = SavedPrefix;
    for (const auto& id : areaIds) line += " " + id;
    return line;
}

std::vector<std::string> ParseSavedLine(const std::string& kludge, bool* isSaved) {
    std::vector<std::string> ids;
    const bool saved = kludge.compare(0, SavedPrefix.size(), SavedPrefix) == 0;
    if (isSaved) *isSaved = saved;
    if (!saved) return ids;
    std::string word;
    for (size_t i = SavedPrefix.size(); i <= kludge.size(); ++i) {
        const char c = i < kludge.size() ? kludge[i] : ' ';
        if (c == ' ' || c == '\t') {
            if (!word.empty()) ids.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return ids;
}

int32_t ClampSaveMinutes(int64_t minutes) {
    return static_cast<int32_t>(std::clamp<int64_t>(minutes, 1, 1440));
}

TDraftStore::TDraftStore(std::string dataFolder, std::vector<std::string> areaFolders)
    : dataFolder_(WithSlash(std::move(dataFolder))), areaFolders_(std::move(areaFolders)) {}

std::string TDraftStore::Folder() const {
    return dataFolder_ + StoreName + "/";
}

bool TDraftStore::Usable(std::string* reason) const {
    if (dataFolder_ == "/") {
        if (reason) *reason = "no data folder";
        return false;
    }
    const fs::path store = Canonical(Folder());
    for (const auto& area : areaFolders_) {
        if (area.empty()) continue;
        const fs::path a = Canonical(area);
        // The swap replaces the store folder and its neighbours drafts.new/drafts.old: none of them
        // may hold an area's messages.
        if (SamePath(a, store) || Inside(a, store) || Inside(store, a) ||
            SamePath(a, Canonical(dataFolder_ + NewName)) || SamePath(a, Canonical(dataFolder_ + OldName))) {
            if (reason) *reason = "the draft folder " + store.string() + " is the folder of an area";
            return false;
        }
    }
    return true;
}

bool TDraftStore::Save(std::vector<TDraft*> drafts, bool allowEmpty, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    std::string reason;
    if (!Usable(&reason)) return fail(reason);
    if (drafts.empty() && !allowEmpty) return true;
    std::error_code ec;
    if (!fs::is_directory(dataFolder_, ec)) return fail("the data folder does not exist");

    const std::string fresh = dataFolder_ + NewName;
    const std::string old = dataFolder_ + OldName;
    fs::remove_all(fresh, ec);
    if (!fs::create_directory(fresh, ec)) return fail("cannot create " + fresh);

    std::vector<int32_t> numbers;
    {
        TFidoBase base;
        base.Netmail = true;
        base.SetPath(fresh);
        base.Open();
        base.UseFlagFiles = false;
        if (!base.Active) return fail("cannot open " + fresh);
        for (TDraft* d : drafts) {
            base.NewMessage();
            base.FromName = d->FromName;
            base.OrigAddr = d->OrigAddr;
            base.DestAddr = d->DestAddr;
            base.ToName = d->ToName;
            base.Subject = d->Subject;
            base.Date = NowLocal();
            base.Attr = d->Attributes;
            base.Read = false;
            base.Kludges = {SavedLine(d->AreaIds)};
            base.Text = d->Body;
            if (!base.WriteMessage()) {
                base.Close();
                fs::remove_all(fresh, ec);
                return fail("cannot write a draft into " + fresh);
            }
            numbers.push_back(
                static_cast<int32_t>(StemNumber(base.MsgFiles[static_cast<size_t>(base.Current)])));
        }
        base.Close();
    }
    SyncDir(fresh);

    // Swap the new set in: the old one stays whole until the new one is in place.
    const std::string store = dataFolder_ + StoreName;
    fs::remove_all(old, ec);
    if (fs::exists(store, ec)) {
        if (::rename(store.c_str(), old.c_str()) != 0) {
            fs::remove_all(fresh, ec);
            return fail("cannot move the previous drafts aside");
        }
    }
    if (::rename(fresh.c_str(), store.c_str()) != 0) {
        ::rename(old.c_str(), store.c_str());
        fs::remove_all(fresh, ec);
        return fail("cannot put the new drafts in place");
    }
    SyncDir(dataFolder_);
    fs::remove_all(old, ec);
    for (size_t i = 0; i < drafts.size(); ++i) drafts[i]->Number = numbers[i];
    return true;
}

std::vector<TDraft> TDraftStore::Load() const {
    std::vector<TDraft> out;
    if (!Usable()) return out;
    TFidoBase base;
    base.Netmail = true;
    base.SetPath(Folder());
    base.Open();
    if (!base.Active) return out;
    base.UseFlagFiles = false;
    for (int32_t pos = 0; pos < base.Count(); ++pos) {
        try {
            base.ReadMessage(pos);
        } catch (...) {
            continue;  // a damaged draft does not keep the others from coming back
        }
        TDraft d;
        d.FromName = base.FromName;
        d.OrigAddr = base.OrigAddr;
        // A draft without a destination address reads back as the null address.
        d.DestAddr = base.DestAddr == "0/0" ? std::string() : base.DestAddr;
        d.ToName = base.ToName;
        d.Subject = base.Subject;
        d.Attributes = base.Attr;
        for (const auto& k : base.Kludges) {
            bool saved = false;
            auto ids = ParseSavedLine(k, &saved);
            if (saved) d.AreaIds.insert(d.AreaIds.end(), ids.begin(), ids.end());
        }
        d.Body = base.Text.empty() ? std::string(" ") : base.Text;
        d.Number = static_cast<int32_t>(StemNumber(base.MsgFiles[static_cast<size_t>(pos)]));
        out.push_back(std::move(d));
    }
    base.Close();
    return out;
}

bool TDraftStore::Delete(int32_t number) {
    if (number < 0 || !Usable()) return false;
    TFidoBase base;
    base.Netmail = true;
    base.SetPath(Folder());
    base.Open();
    if (!base.Active) return false;
    base.UseFlagFiles = false;
    bool done = false;
    for (int32_t pos = 0; pos < base.Count(); ++pos) {
        if (StemNumber(base.MsgFiles[static_cast<size_t>(pos)]) != number) continue;
        try {
            base.Seek(pos);
            done = base.IsValid() && base.DeleteCurrent();
        } catch (...) {
            done = false;
        }
        break;
    }
    base.Close();
    return done;
}

}  // namespace pelmar

#include "reader/DraftStore.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "msgbase/FidoBase.h"
#include "platform/Codepage.h"

namespace pelmar {

namespace fs = std::filesystem;

namespace {

const std::string SavedPrefix = "SAVED:";
const char* const StoreName = "drafts";
const char* const NewName = "drafts.new";
const char* const OldName = "drafts.old";
// Set by tests: the reason every save fails with.
std::string saveFault;

// Written last into drafts.new, after every message there is on disk: a set without it is unfinished.
const char* const CompleteName = "complete";

// Reasons go to the user in CP1251, like every text of the program.
std::string Text(const char* utf8) {
    return Utf8ToAnsi(utf8);
}

std::string PathText(const std::string& path) {
    return Utf8ToAnsi(path);
}

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

bool SyncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Every file of the folder on disk, then the marker that says so.
bool SyncAndMarkComplete(const std::string& folder) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec))
        if (!SyncFile(entry.path().string())) return false;
    if (ec) return false;
    const std::string marker = WithSlash(folder) + CompleteName;
    const int fd = ::open(marker.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    SyncDir(folder);
    return ok;
}

// A crash between moving the store aside and putting the new set in place leaves no store folder:
// the finished new set, or else the previous one, becomes the store again before anything else runs.
void RecoverInterruptedSwap(const std::string& dataFolder) {
    std::error_code ec;
    const std::string store = dataFolder + StoreName;
    if (fs::exists(store, ec) || ec) return;
    const std::string fresh = dataFolder + NewName;
    const std::string old = dataFolder + OldName;
    if (fs::exists(WithSlash(fresh) + CompleteName, ec)) {
        if (::rename(fresh.c_str(), store.c_str()) != 0) return;
    } else if (fs::is_directory(old, ec)) {
        if (::rename(old.c_str(), store.c_str()) != 0) return;
    } else {
        return;
    }
    SyncDir(dataFolder);
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

TDraftStore::TDraftStore(std::string dataFolder, std::vector<std::string> areaFolders,
                         std::vector<std::string> baseFolders)
    : dataFolder_(WithSlash(std::move(dataFolder))),
      areaFolders_(std::move(areaFolders)),
      baseFolders_(std::move(baseFolders)) {}

std::string TDraftStore::Folder() const {
    return dataFolder_ + StoreName + "/";
}

bool TDraftStore::Usable(std::string* reason) const {
    if (dataFolder_ == "/") {
        if (reason) *reason = Text("не задана папка данных");
        return false;
    }
    const fs::path store = Canonical(Folder());
    for (const auto& area : areaFolders_) {
        if (area.empty()) continue;
        const fs::path a = Canonical(area);
        // The swap replaces the store folder and its neighbours drafts.new/drafts.old: none of them
        // may hold an area's messages.
        if (Inside(a, store) || Inside(store, a) || Inside(a, Canonical(dataFolder_ + NewName)) ||
            Inside(a, Canonical(dataFolder_ + OldName))) {
            if (reason) *reason = Text("папка ") + PathText(store.string()) + Text(" - папка области");
            return false;
        }
    }
    // Other bases only keep files in their folder: one inside the draft folders would still go.
    for (const auto& folder : baseFolders_) {
        if (folder.empty()) continue;
        const fs::path b = Canonical(folder);
        if (Inside(b, store) || Inside(b, Canonical(dataFolder_ + NewName)) ||
            Inside(b, Canonical(dataFolder_ + OldName))) {
            if (reason) *reason = Text("в папке ") + PathText(store.string()) + Text(" лежат файлы области");
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
    if (!saveFault.empty()) return fail(saveFault);
    std::error_code ec;
    if (!fs::is_directory(dataFolder_, ec))
        return fail(Text("папка данных ") + PathText(dataFolder_) + Text(" не существует"));
    // An interrupted earlier swap is finished first: the cleanup below would delete its drafts.
    RecoverInterruptedSwap(dataFolder_);

    const std::string fresh = dataFolder_ + NewName;
    const std::string old = dataFolder_ + OldName;
    fs::remove_all(fresh, ec);
    if (!fs::create_directory(fresh, ec)) return fail(Text("не удалось создать папку ") + PathText(fresh));

    std::vector<int32_t> numbers;
    {
        TFidoBase base;
        base.Netmail = true;
        base.SetPath(fresh);
        base.Open();
        base.UseFlagFiles = false;
        if (!base.Active) return fail(Text("не удалось открыть папку ") + PathText(fresh));
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
                return fail(Text("не удалось записать письмо в папку ") + PathText(fresh));
            }
            numbers.push_back(
                static_cast<int32_t>(StemNumber(base.MsgFiles[static_cast<size_t>(base.Current)])));
        }
        base.Close();
    }
    if (!SyncAndMarkComplete(fresh)) {
        fs::remove_all(fresh, ec);
        return fail(Text("не удалось сбросить на диск папку ") + PathText(fresh));
    }

    // Swap the new set in: the old one stays whole until the new one is in place. Exchanging the two
    // folders leaves no moment without a store; where the file system cannot, the old set is moved
    // aside first and RecoverInterruptedSwap covers a crash in between.
    const std::string store = dataFolder_ + StoreName;
    fs::remove_all(old, ec);
    bool swapped = false;
    if (fs::exists(store, ec)) {
        if (::renameat2(AT_FDCWD, fresh.c_str(), AT_FDCWD, store.c_str(), RENAME_EXCHANGE) == 0) {
            swapped = true;
            SyncDir(dataFolder_);
            fs::remove_all(fresh, ec);  // the previous set now
        } else if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP && errno != EXDEV) {
            fs::remove_all(fresh, ec);
            return fail(Text("не удалось переименовать ") + PathText(fresh) + Text(" в ") + PathText(store));
        } else if (::rename(store.c_str(), old.c_str()) != 0) {
            fs::remove_all(fresh, ec);
            return fail(Text("не удалось переименовать ") + PathText(store) + Text(" в ") + PathText(old));
        }
    }
    if (!swapped) {
        if (::rename(fresh.c_str(), store.c_str()) != 0) {
            ::rename(old.c_str(), store.c_str());
            fs::remove_all(fresh, ec);
            return fail(Text("не удалось переименовать ") + PathText(fresh) + Text(" в ") + PathText(store));
        }
        SyncDir(dataFolder_);
        fs::remove_all(old, ec);
    }
    fs::remove(WithSlash(store) + CompleteName, ec);
    for (size_t i = 0; i < drafts.size(); ++i) drafts[i]->Number = numbers[i];
    return true;
}

std::vector<TDraft> TDraftStore::Load() const {
    std::vector<TDraft> out;
    if (!Usable()) return out;
    RecoverInterruptedSwap(dataFolder_);
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

void TDraftStore::SetSaveFaultForTesting(std::string reason) {
    saveFault = std::move(reason);
}

std::string RescueFileText(const std::vector<TDraft>& drafts) {
    auto line = [](const char* label, const std::string& value) {
        return std::string(label) + AnsiToUtf8(value) + "\n";
    };
    std::string out;
    int n = 0;
    for (const TDraft& d : drafts) {
        out += "===== " + std::to_string(++n) + " =====\n";
        out += line("From: ", d.FromName + (d.OrigAddr.empty() ? std::string() : ", " + d.OrigAddr));
        out += line("To: ", d.ToName + (d.DestAddr.empty() ? std::string() : ", " + d.DestAddr));
        out += line("Subject: ", d.Subject);
        std::string areas;
        for (const auto& id : d.AreaIds) areas += (areas.empty() ? "" : " ") + id;
        out += line("Areas: ", areas);
        out += "\n";
        std::string body = AnsiToUtf8(d.Body);
        std::replace(body.begin(), body.end(), '\r', '\n');
        out += body;
        if (!body.empty() && body.back() != '\n') out += '\n';
        out += "\n";
    }
    return out;
}

std::string WriteRescueFile(const std::string& folder, const std::vector<TDraft>& drafts,
                            std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return std::string();
    };
    const std::string text = RescueFileText(drafts);
    char stamp[32] = "0";
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) != nullptr) std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string stem = WithSlash(folder) + "rescued-letters-" + stamp;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string path =
            stem + (attempt == 0 ? std::string() : "-" + std::to_string(attempt)) + ".txt";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return fail(Text("не удалось создать файл ") + PathText(path) + ": " +
                        Utf8ToAnsi(std::strerror(errno)));
        }
        size_t done = 0;
        errno = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        const int writeErrno = errno;
        const bool synced = done == text.size() && ::fsync(fd) == 0;
        ::close(fd);
        if (!synced) {
            ::unlink(path.c_str());
            return fail(Text("не удалось записать файл ") + PathText(path) + ": " +
                        Utf8ToAnsi(std::strerror(writeErrno != 0 ? writeErrno : EIO)));
        }
        SyncDir(folder);
        return path;
    }
    return fail(Text("не удалось подобрать имя файла в папке ") + PathText(folder));
}

}  // namespace pelmar

#include "msgbase/BaseOpenFailure.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "core/Codepage.h"
#include "msgbase/BaseFactory.h"
#include "msgbase/BaseFile.h"
#include "msgbase/HudsonRecords.h"

namespace pelmar {

namespace {

// The files one base is made of, and the byte range its writers lock (in the first file).
struct TBaseFiles {
    std::string Dir;
    std::vector<std::string> Names;
    uint64_t LockLength = 0;
};

bool PermissionError(int error) {
    return error == EACCES || error == EPERM;
}

// Whether the folder can be listed: Missing, NoPermission, or None when it can.
TBaseOpenFailure FolderReason(const std::string& dir) {
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0)
        return PermissionError(errno) ? TBaseOpenFailure::NoPermission : TBaseOpenFailure::Missing;
    if (!S_ISDIR(st.st_mode)) return TBaseOpenFailure::Missing;
    DIR* listing = ::opendir(dir.c_str());
    if (listing == nullptr)
        return PermissionError(errno) ? TBaseOpenFailure::NoPermission : TBaseOpenFailure::Damaged;
    ::closedir(listing);
    return TBaseOpenFailure::None;
}

// Another open file description (another program, or a writer of this one) holds a write lock
// that overlaps the range.
bool RangeLockedByOthers(int fd, uint64_t length) {
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = static_cast<off_t>(length);
    if (::fcntl(fd, F_OFD_GETLK, &probe) != 0) return false;
    return probe.l_type != F_UNLCK;
}

}  // namespace

TBaseOpenFailure BaseOpenFailureReason(int kind, const std::string& path) {
    if (path.empty()) return TBaseOpenFailure::BadSetting;
    TBaseFiles files;
    switch (kind) {
        case BaseKindMsg: {
            const TBaseOpenFailure folder = FolderReason(path);
            return folder == TBaseOpenFailure::None ? TBaseOpenFailure::Damaged : folder;
        }
        case BaseKindJam:
        case BaseKindSquish: {
            std::string stem;
            SplitBasePath(path, files.Dir, stem);
            if (kind == BaseKindJam)
                files.Names = {stem + ".jhr", stem + ".jdt", stem + ".jdx"};
            else
                files.Names = {stem + ".sqd", stem + ".sqi"};
            files.LockLength = 1;
            break;
        }
        case BaseKindHudson: {
            const int board = static_cast<unsigned char>(path[0]);
            if (board < HudsonFirstBoard || board > HudsonLastBoard) return TBaseOpenFailure::BadSetting;
            files.Dir = path.size() > 1 ? path.substr(1) : std::string(".");
            files.Names = {"msginfo.bbs", "msgidx.bbs", "msgtoidx.bbs", "msgtxt.bbs", "msghdr.bbs"};
            files.LockLength = HudsonInfoSize;
            break;
        }
        default:
            return TBaseOpenFailure::BadSetting;
    }

    const TBaseOpenFailure folder = FolderReason(files.Dir);
    if (folder != TBaseOpenFailure::None) return folder;
    bool locked = false;
    for (size_t i = 0; i < files.Names.size(); ++i) {
        const std::string found = FindFileNoCase(files.Dir, files.Names[i]);
        if (found.empty()) return TBaseOpenFailure::Missing;
        const TFileHandle file(::open(found.c_str(), O_RDONLY | O_CLOEXEC));
        if (!file.Valid())
            return PermissionError(errno) ? TBaseOpenFailure::NoPermission : TBaseOpenFailure::Damaged;
        if (i == 0) locked = RangeLockedByOthers(file.Get(), files.LockLength);
    }
    // Everything is there and readable: what the format refused is either a base caught halfway
    // through another program's write, or a damaged one.
    return locked ? TBaseOpenFailure::Locked : TBaseOpenFailure::Damaged;
}

std::string BaseOpenFailureText(TBaseOpenFailure reason) {
    switch (reason) {
        case TBaseOpenFailure::None:
            return {};
        case TBaseOpenFailure::Missing:
            return Utf8ToAnsi("база не найдена");
        case TBaseOpenFailure::NoPermission:
            return Utf8ToAnsi("нет прав на чтение базы");
        case TBaseOpenFailure::Damaged:
            return Utf8ToAnsi("база повреждена");
        case TBaseOpenFailure::Locked:
            return Utf8ToAnsi("база заблокирована другой программой");
        case TBaseOpenFailure::BadSetting:
            return Utf8ToAnsi("тип или путь базы заданы неверно");
    }
    return {};
}

const char* BaseOpenFailureKey(TBaseOpenFailure reason) {
    switch (reason) {
        case TBaseOpenFailure::None:
            return "";
        case TBaseOpenFailure::Missing:
            return "missing";
        case TBaseOpenFailure::NoPermission:
            return "no-permission";
        case TBaseOpenFailure::Damaged:
            return "damaged";
        case TBaseOpenFailure::Locked:
            return "locked";
        case TBaseOpenFailure::BadSetting:
            return "bad-setting";
    }
    return "";
}

std::string BaseLocation(int kind, const std::string& path) {
    if (kind == BaseKindHudson && !path.empty()) return path.substr(1);
    return path;
}

}  // namespace pelmar

#include "msgbase/BaseProblem.h"

#include <sys/stat.h>
#include <unistd.h>

#include <initializer_list>

#include "msgbase/BaseFactory.h"
#include "msgbase/BaseFile.h"

namespace pelmar {
namespace {

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The folder must be listable and the files readable (in any letter case, as the bases open them).
TBaseProblem CheckFiles(const std::string& dir, const std::string& stem,
                        std::initializer_list<const char*> required) {
    if (!IsFolder(dir)) return TBaseProblem::Missing;
    if (::access(dir.c_str(), R_OK | X_OK) != 0) return TBaseProblem::NoPermission;
    for (const char* suffix : required) {
        const std::string file = FindFileNoCase(dir, stem + suffix);
        if (file.empty()) return TBaseProblem::Missing;
        if (::access(file.c_str(), R_OK) != 0) return TBaseProblem::NoPermission;
    }
    return TBaseProblem::Damaged;
}

}  // namespace

TBaseProblem DiagnoseBase(int kind, const std::string& path) {
    std::string dir;
    std::string stem;
    switch (kind) {
        case BaseKindMsg:
            return CheckFiles(path, "", {});
        case BaseKindHudson:
            if (path.size() < 2) return TBaseProblem::Missing;
            return CheckFiles(path.substr(1), "",
                              {"msginfo.bbs", "msgidx.bbs", "msghdr.bbs", "msgtxt.bbs", "msgtoidx.bbs"});
        case BaseKindJam:
            SplitBasePath(path, dir, stem);
            return CheckFiles(dir, stem, {".jhr", ".jdt", ".jdx"});
        case BaseKindSquish:
            SplitBasePath(path, dir, stem);
            return CheckFiles(dir, stem, {".sqd", ".sqi"});
        default:
            return TBaseProblem::None;
    }
}

const char* BaseProblemName(TBaseProblem problem) {
    switch (problem) {
        case TBaseProblem::Missing:
            return "missing";
        case TBaseProblem::NoPermission:
            return "no permission";
        case TBaseProblem::Damaged:
            return "damaged";
        case TBaseProblem::Locked:
            return "locked";
        default:
            return "";
    }
}

}  // namespace pelmar

#pragma once
// Why a message base does not open, told from its files once the open has failed: the bases
// themselves only say that they are not active.
#include <string>

namespace pelmar {

enum class TBaseProblem { None, Missing, NoPermission, Damaged, Locked };

// Looks at the files a base of `kind` (BaseFactory.h) at `path` (the area's Path) is made of: Missing
// when a file it cannot do without (or its folder) is not there, NoPermission when one cannot be
// read, Damaged otherwise (the files are there and readable, yet the base did not open). None for a
// kind without files. Locked is never found here; callers that saw a lock refused say so themselves.
TBaseProblem DiagnoseBase(int kind, const std::string& path);

// "missing", "no permission", "damaged", "locked"; "" for None.
const char* BaseProblemName(TBaseProblem problem);

}  // namespace pelmar

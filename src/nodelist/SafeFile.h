#pragma once
// Small file helpers of the nodelist and the address book: a replace that never leaves a half
// written file, and a bounded whole-file read.
#include <cstdint>
#include <string>

namespace pelmar {

// Writes `bytes` to a temporary file beside `path`, syncs it, renames it over `path` and syncs the
// folder. On failure the previous file is untouched and the result is the reason (CP1251); empty on
// success.
std::string ReplaceFileAtomically(const std::string& path, const std::string& bytes);

// A file's last write as a local date-time counted in days since 30 December 1899; 0 when the file
// cannot be examined.
double FileDateTime(const std::string& path);

}  // namespace pelmar

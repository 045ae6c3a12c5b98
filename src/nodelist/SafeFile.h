#pragma once
// File dates of the nodelist's sources. (Files are replaced whole through platform/AtomicFile.h.)
#include <cstdint>
#include <string>

namespace pelmar {

// A file's last write as a local date-time counted in days since 30 December 1899; 0 when the file
// cannot be examined.
double FileDateTime(const std::string& path);

}  // namespace pelmar

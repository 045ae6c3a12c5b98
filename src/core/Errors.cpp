#include "core/Errors.h"

#include <cerrno>
#include <cstring>

namespace pelmar {

std::string ErrnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

}  // namespace pelmar

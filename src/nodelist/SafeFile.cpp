#include "nodelist/SafeFile.h"

#include <sys/stat.h>

#include <ctime>

namespace pelmar {

double FileDateTime(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return 0;
    std::tm local{};
    const std::time_t when = st.st_mtime;
    if (localtime_r(&when, &local) == nullptr) return 0;
    const double seconds = static_cast<double>(when) + static_cast<double>(local.tm_gmtoff);
    // 25569 days lie between 30 December 1899 and 1 January 1970.
    return 25569.0 + seconds / 86400.0;
}

}  // namespace pelmar

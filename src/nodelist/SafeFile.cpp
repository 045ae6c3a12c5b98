#include "nodelist/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "core/Codepage.h"

namespace pelmar {

namespace {

std::string Reason(int error) {
    return std::strerror(error);
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string ReplaceFileAtomically(const std::string& path, const std::string& bytes) {
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return Reason(errno);
    ::fchmod(fd, 0644);
    int error = 0;
    if (!WriteAll(fd, bytes)) error = errno != 0 ? errno : EIO;
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return Reason(error);
    }
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return {};
}

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

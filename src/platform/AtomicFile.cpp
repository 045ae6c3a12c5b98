#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace pelmar {

namespace fs = std::filesystem;

bool WriteAll(int fd, std::string_view bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // A write of nothing leaves errno as it was: it must not read as success.
            if (n == 0) errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

int ReplaceFile(const std::string& path, std::string_view bytes, mode_t mode, TReplaceFault fault) {
    std::error_code ec;
    fs::path target(path);
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::weakly_canonical(target, ec);
        if (!ec) target = resolved;
    }
    const std::string finalPath = target.string();
    const std::string folder = target.parent_path().empty() ? "." : target.parent_path().string();

    std::string temp = finalPath + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());  // 0600 until the wanted mode is set
    if (fd < 0) return errno;
    // A file system without permissions refuses this; the file is written all the same.
    ::fchmod(fd, mode);
    int error = 0;
    if ((fault == TReplaceFault::Write || !WriteAll(fd, bytes)))
        error = fault == TReplaceFault::Write ? EIO : errno;
    if (error == 0 && (fault == TReplaceFault::Sync || ::fsync(fd) != 0))
        error = fault == TReplaceFault::Sync ? EIO : errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && (fault == TReplaceFault::Rename || ::rename(temp.c_str(), finalPath.c_str()) != 0))
        error = fault == TReplaceFault::Rename ? EIO : errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return error;
    }
    // The rename itself is on disk only once the folder is.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return 0;
}

}  // namespace pelmar

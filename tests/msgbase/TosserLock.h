#pragma once
// Another program holding a base's lock, for tests of refused writes.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace pelmar::test {

// A tosser in another process: a classic record lock on the range, held for `holdMs` (or until it
// is killed), taken before the constructor returns.
class TTosserLock {
public:
    TTosserLock(const std::string& file, uint64_t length, int holdMs) {
        int ready[2];
        if (::pipe(ready) != 0) return;
        Child = ::fork();
        if (Child == 0) {
            const int fd = ::open(file.c_str(), O_RDWR);
            struct flock lock {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            lock.l_len = static_cast<off_t>(length);
            const char c = (fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0) ? 'L' : 'E';
            (void)!::write(ready[1], &c, 1);
            ::usleep(static_cast<useconds_t>(holdMs) * 1000);
            ::_exit(0);
        }
        char c = 0;
        Locked = ::read(ready[0], &c, 1) == 1 && c == 'L';
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~TTosserLock() {
        if (Child <= 0) return;
        ::kill(Child, SIGKILL);
        ::waitpid(Child, nullptr, 0);
    }
    bool Locked = false;

private:
    pid_t Child = -1;
};

}  // namespace pelmar::test

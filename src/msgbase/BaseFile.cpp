#include "msgbase/BaseFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#include "core/Errors.h"
#include "platform/AtomicFile.h"

namespace pelmar {

namespace {

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

bool SameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

bool IsRegular(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool HasUpper(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

std::atomic<int64_t> writerWaitMs{2000};
std::atomic<int64_t> markReadWaitMs{100};

bool SetLock(int fd, short type, uint64_t start, uint64_t length) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(start);
    lock.l_len = static_cast<off_t>(length);
    lock.l_pid = 0;  // required by open-file-description locks
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

}  // namespace

bool EndsWithNoCase(std::string_view name, std::string_view suffix) {
    return name.size() >= suffix.size() && SameNoCase(name.substr(name.size() - suffix.size()), suffix);
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir == ".") return name;
    std::string path;
    path.reserve(dir.size() + 1 + name.size());
    path.append(dir);
    if (dir.back() != '/') path.push_back('/');
    path.append(name);
    return path;
}

void SplitBasePath(const std::string& path, std::string& dir, std::string& stem) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        dir.assign(1, '.');
        stem = path;
        return;
    }
    dir = path.substr(0, slash == 0 ? 1 : slash);
    stem = path.substr(slash + 1);
}

std::string FindFileNoCase(const std::string& dir, const std::string& name) {
    const std::string exact = JoinPath(dir, name);
    if (IsRegular(exact)) return exact;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return {};
    std::string found;
    while (const dirent* entry = ::readdir(d)) {
        if (!SameNoCase(entry->d_name, name)) continue;
        const std::string candidate = JoinPath(dir, entry->d_name);
        if (!IsRegular(candidate)) continue;
        found = candidate;
        break;
    }
    ::closedir(d);
    return found;
}

std::string BaseFilePath(const std::string& dir, const std::string& stem, std::string_view suffix,
                         std::initializer_list<std::string_view> siblings) {
    std::string wanted = stem;
    wanted.append(suffix);
    if (std::string found = FindFileNoCase(dir, wanted); !found.empty()) return found;
    bool upper = false;
    for (std::string_view sibling : siblings) {
        std::string siblingName = stem;
        siblingName.append(sibling);
        const std::string found = FindFileNoCase(dir, siblingName);
        if (!found.empty() && HasUpper(std::string_view(found).substr(found.size() - sibling.size())))
            upper = true;
    }
    std::string name = wanted;
    for (size_t i = stem.size(); i < name.size(); ++i)
        name[i] = upper ? AsciiUpper(name[i]) : AsciiLower(name[i]);
    return JoinPath(dir, name);
}

bool CreateNewFile(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST) return false;
        throw EWriteError(ErrnoText("cannot create " + path));
    }
    int error = WriteAll(fd, bytes) ? 0 : errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) {
        ::unlink(path.c_str());  // ours alone: nobody can have used a file that is not complete
        errno = error;
        throw EWriteError(ErrnoText("cannot write " + path));
    }
    return true;
}

int64_t ExistingFileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return static_cast<int64_t>(st.st_size);
    if (errno == ENOENT) return -1;
    throw EWriteError(ErrnoText("cannot look at " + path));
}

ssize_t ReadFileAt(int fd, void* buffer, size_t length, uint64_t offset) {
    auto* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, out + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

bool WriteFileAt(int fd, const void* data, size_t length, uint64_t offset) {
    const auto* in = static_cast<const char*>(data);
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pwrite(fd, in + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

TFileHandle::~TFileHandle() {
    if (Fd >= 0) ::close(Fd);
}

TFileHandle& TFileHandle::operator=(TFileHandle&& other) noexcept {
    if (this != &other) {
        if (Fd >= 0) ::close(Fd);
        Fd = other.Release();
    }
    return *this;
}

int TFileHandle::Release() {
    const int fd = Fd;
    Fd = -1;
    return fd;
}

bool TFileHandle::Close() {
    const int fd = Release();
    return fd < 0 || ::close(fd) == 0;
}

bool TBaseFile::Open(const std::string& path) {
    Close();
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0 && (errno == EACCES || errno == EROFS)) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    TFileHandle handle(fd);
    struct stat st {};
    if (!handle.Valid() || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    CanWrite = (::fcntl(fd, F_GETFL) & O_ACCMODE) == O_RDWR;
    Handle = std::move(handle);
    Path = path;
    return true;
}

bool TBaseFile::OpenOrCreate(const std::string& path) {
    Close();
    TFileHandle handle(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
    if (!handle.Valid()) return false;
    Handle = std::move(handle);
    CanWrite = true;
    Path = path;
    return true;
}

void TBaseFile::Close() {
    Handle.Close();
    CanWrite = false;
    Path.clear();
    DropCache();
    std::vector<char>().swap(Window);
}

uint64_t TBaseFile::Size() const {
    struct stat st {};
    if (::fstat(Handle.Get(), &st) != 0) throw EReadError(ErrnoText(Path + ": cannot get the size"));
    return static_cast<uint64_t>(st.st_size);
}

int64_t TBaseFile::ModifiedTime() const {
    struct stat st {};
    if (!Handle.Valid() || ::fstat(Handle.Get(), &st) != 0) return -1;
    return st.st_mtim.tv_sec;
}

size_t TBaseFile::ReadAt(uint64_t offset, void* buffer, size_t length) const {
    const ssize_t n = ReadFileAt(Handle.Get(), buffer, length, offset);
    if (n < 0) throw EReadError(ErrnoText(Path + ": cannot read"));
    return static_cast<size_t>(n);
}

std::string TBaseFile::ReadAt(uint64_t offset, size_t length) const {
    std::string out(length, '\0');
    out.resize(ReadAt(offset, out.data(), length));
    return out;
}

void TBaseFile::ReadExact(uint64_t offset, void* buffer, size_t length) const {
    if (ReadAt(offset, buffer, length) != length)
        throw EReadError(Path + " ends before offset " + std::to_string(offset + length));
}

void TBaseFile::SetReadAhead(size_t first, size_t later) {
    FirstFill = first;
    LaterFill = std::max(first, later);
    DropCache();
}

std::string_view TBaseFile::ReadCached(uint64_t offset, size_t length) {
    const bool inWindow = offset >= WindowStart && offset - WindowStart <= WindowLength &&
                          length <= WindowLength - (offset - WindowStart);
    if (inWindow && WindowLength > 0) {
        ++WindowHits;
        return {Window.data() + (offset - WindowStart), length};
    }
    if (length > LaterFill) {
        // Sized by a length field: make sure the bytes exist before allocating for them.
        const uint64_t size = Size();
        if (offset > size) return {};
        length = static_cast<size_t>(std::min<uint64_t>(length, size - offset));
    }
    // Read far ahead only while the reads keep landing in the window (a walk); scattered reads get
    // small fills.
    const size_t fill = std::max(WindowHits >= 2 ? LaterFill : FirstFill, length);
    WindowLength = 0;
    WindowHits = 0;
    if (Window.size() < fill) Window.resize(fill);
    WindowLength = ReadAt(offset, Window.data(), fill);
    WindowStart = offset;
    return {Window.data(), std::min(length, WindowLength)};
}

std::string_view TBaseFile::ReadCachedExact(uint64_t offset, size_t length) {
    const std::string_view bytes = ReadCached(offset, length);
    if (bytes.size() != length)
        throw EReadError(Path + " ends before offset " + std::to_string(offset + length));
    return bytes;
}

size_t TBaseFile::ReadCached(uint64_t offset, void* buffer, size_t length) {
    const std::string_view bytes = ReadCached(offset, length);
    std::memcpy(buffer, bytes.data(), bytes.size());
    return bytes.size();
}

void TBaseFile::DropCache() {
    WindowLength = 0;
    WindowHits = 0;
}

void TBaseFile::WriteAt(uint64_t offset, const void* data, size_t length) {
    DropCache();
    if (!WriteFileAt(Handle.Get(), data, length, offset))
        throw EWriteError(ErrnoText(Path + ": cannot write"));
}

void TBaseFile::Truncate(uint64_t size) {
    DropCache();
    if (::ftruncate(Handle.Get(), static_cast<off_t>(size)) != 0)
        throw EWriteError(ErrnoText(Path + ": cannot truncate"));
}

bool TBaseFile::TryLock(uint64_t start, uint64_t length) const {
    return Handle.Valid() && SetLock(Handle.Get(), F_WRLCK, start, length);
}

void TBaseFile::Unlock(uint64_t start, uint64_t length) const {
    if (Handle.Valid()) SetLock(Handle.Get(), F_UNLCK, start, length);
}

std::chrono::milliseconds WriterLockWait() {
    return std::chrono::milliseconds(writerWaitMs.load());
}

std::chrono::milliseconds MarkReadLockWait() {
    return std::chrono::milliseconds(markReadWaitMs.load());
}

void SetLockWaits(std::chrono::milliseconds writers, std::chrono::milliseconds markRead) {
    writerWaitMs = std::max<int64_t>(writers.count(), 0);
    markReadWaitMs = std::clamp<int64_t>(markRead.count(), 0, writerWaitMs.load());
}

TRangeLock::TRangeLock(int fd, uint64_t start, uint64_t length, std::chrono::milliseconds wait, TMode mode)
    : Fd(fd), Start(start), Length(length) {
    if (fd < 0) return;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    auto pause = std::chrono::milliseconds(5);
    for (;;) {
        if (SetLock(fd, mode == TMode::Shared ? F_RDLCK : F_WRLCK, start, length)) {
            Locked = true;
            return;
        }
        // Only a lock another holder has is worth waiting for (a read-only file never locks).
        if (errno != EAGAIN && errno != EACCES && errno != EINTR) return;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            Contended = true;
            return;
        }
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

TRangeLock::~TRangeLock() {
    if (Locked) SetLock(Fd, F_UNLCK, Start, Length);
}

}  // namespace pelmar

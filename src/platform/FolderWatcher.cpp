#include "platform/FolderWatcher.h"

#include <sys/inotify.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace pelmar {

namespace {

// What changes a base: data written (every write and truncation), files created, deleted or renamed
// into place; and the folder's own end. Left out: IN_CLOSE_WRITE, which every reader that opens a
// file for writing sends on close without writing a byte (the bases open their files read-write for
// their locks, so counting a base would announce a change of it), and IN_ATTRIB (time stamps and
// modes alone leave the messages as they were).
constexpr uint32_t WatchMask = IN_MODIFY | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                               IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;
constexpr uint32_t GoneMask = IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT;

// One read takes this much; a call reads at most ReadsPerCall times.
constexpr size_t ReadBufferSize = 64 * 1024;
constexpr int ReadsPerCall = 16;

}  // namespace

TWatchSystem TWatchSystem::Real() {
    TWatchSystem system;
    system.AddWatch = [](int fd, const std::string& folder, uint32_t mask) {
        return ::inotify_add_watch(fd, folder.c_str(), mask);
    };
    system.FileSystemType = [](const std::string& folder) -> int64_t {
        struct statfs info {};
        if (::statfs(folder.c_str(), &info) != 0) return -1;
        return static_cast<int64_t>(static_cast<uint32_t>(info.f_type));
    };
    system.Read = [](int fd, char* buffer, size_t size) { return ::read(fd, buffer, size); };
    return system;
}

TFolderWatcher::TFolderWatcher(TWatchSystem system) : system_(std::move(system)) {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) LastErrno = errno;
}

TFolderWatcher::~TFolderWatcher() {
    if (fd_ >= 0) ::close(fd_);
}

std::string TFolderWatcher::FolderKey(const std::string& folder) {
    std::string key = folder;
    while (key.size() > 1 && key.back() == '/') key.pop_back();
    if (key.empty()) key = ".";
    return key;
}

bool TFolderWatcher::RemoteFileSystemType(int64_t type) {
    switch (static_cast<uint32_t>(type)) {
        case 0x6969:      // NFS
        case 0x517B:      // SMB
        case 0xFF534D42:  // CIFS
        case 0xFE534D42:  // SMB2
        case 0x65735546:  // FUSE (sshfs, rclone, ...)
        case 0x73757245:  // Coda
        case 0x5346414F:  // AFS
        case 0x6B414653:  // kAFS
        case 0x00C36400:  // Ceph
        case 0x01021997:  // 9P
        case 0x564C:      // NCP
        case 0x01161970:  // GFS2
        case 0x7461636F:  // OCFS2
        case 0x0BD00BD0:  // Lustre
        case 0x47504653:  // GPFS
            return true;
        default:
            return false;
    }
}

TWatchResult TFolderWatcher::Watch(const std::string& folder) {
    const std::string key = FolderKey(folder);
    if (watches_.count(key) != 0) return TWatchResult::Watched;
    if (!Available()) return TWatchResult::Unavailable;
    LastErrno = 0;
    const int64_t type = system_.FileSystemType(key);
    if (type < 0) {
        LastErrno = errno;
        return LastErrno == ENOENT || LastErrno == ENOTDIR ? TWatchResult::Missing : TWatchResult::Failed;
    }
    if (RemoteFileSystemType(type)) return TWatchResult::RemoteFileSystem;
    const int wd = system_.AddWatch(fd_, key, WatchMask);
    if (wd < 0) {
        LastErrno = errno;
        switch (LastErrno) {
            case ENOSPC:
                return TWatchResult::LimitReached;
            case ENOENT:
            case ENOTDIR:
                return TWatchResult::Missing;
            default:
                return TWatchResult::Failed;
        }
    }
    // Two spellings of one folder (a link, "a/../b") share the descriptor.
    folders_[wd].push_back(key);
    watches_[key] = wd;
    return TWatchResult::Watched;
}

void TFolderWatcher::Unwatch(const std::string& folder) {
    const auto found = watches_.find(FolderKey(folder));
    if (found == watches_.end()) return;
    const int wd = found->second;
    watches_.erase(found);
    std::vector<std::string>& names = folders_[wd];
    std::erase(names, FolderKey(folder));
    if (!names.empty()) return;
    folders_.erase(wd);
    ::inotify_rm_watch(fd_, wd);  // its IN_IGNORED then names no folder and is passed over
}

bool TFolderWatcher::Watching(const std::string& folder) const {
    return watches_.count(FolderKey(folder)) != 0;
}

std::vector<std::string> TFolderWatcher::Folders() const {
    std::vector<std::string> result;
    result.reserve(watches_.size());
    for (const auto& [folder, wd] : watches_) result.push_back(folder);
    return result;
}

void TFolderWatcher::ParseRecords(
    std::string_view bytes, const std::function<void(int wd, uint32_t mask, std::string_view name)>& sink) {
    size_t offset = 0;
    while (bytes.size() - offset >= sizeof(inotify_event)) {
        inotify_event record{};
        std::memcpy(&record, bytes.data() + offset, sizeof record);
        offset += sizeof record;
        if (record.len > bytes.size() - offset) return;  // cut off: nothing after it can be trusted
        std::string_view name = bytes.substr(offset, record.len);
        if (const size_t end = name.find('\0'); end != std::string_view::npos) name = name.substr(0, end);
        offset += record.len;
        sink(record.wd, record.mask, name);
    }
}

void TFolderWatcher::Forget(int wd) {
    const auto found = folders_.find(wd);
    if (found == folders_.end()) return;
    for (const std::string& folder : found->second) watches_.erase(folder);
    folders_.erase(found);
}

void TFolderWatcher::Dispatch(int wd, uint32_t mask, std::string_view name,
                              const std::function<void(const TFolderEvent&)>& sink) {
    TFolderEvent event;
    if ((mask & IN_Q_OVERFLOW) != 0) {
        event.Kind = TFolderEvent::TKind::Overflow;
        sink(event);
        return;
    }
    const auto found = folders_.find(wd);
    if (found == folders_.end()) return;  // a watch given up already
    const std::vector<std::string> folders = found->second;
    if ((mask & GoneMask) != 0) {
        // A moved folder stays watched by the kernel under its new name: give the watch up.
        if ((mask & IN_IGNORED) == 0) ::inotify_rm_watch(fd_, wd);
        Forget(wd);
        event.Kind = TFolderEvent::TKind::FolderGone;
        for (const std::string& folder : folders) {
            event.Folder = folder;
            sink(event);
        }
        return;
    }
    event.Name.assign(name);
    for (const std::string& folder : folders) {
        event.Folder = folder;
        sink(event);
    }
}

void TFolderWatcher::ReadEvents(const std::function<void(const TFolderEvent&)>& sink) {
    if (!Available()) return;
    std::vector<char> buffer(ReadBufferSize);
    for (int reads = 0; reads < ReadsPerCall; ++reads) {
        const ssize_t got = system_.Read(fd_, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            return;  // EAGAIN: nothing more is queued
        }
        if (got == 0) return;
        ParseRecords(std::string_view(buffer.data(), static_cast<size_t>(got)),
                     [&](int wd, uint32_t mask, std::string_view name) { Dispatch(wd, mask, name, sink); });
    }
}

}  // namespace pelmar

#pragma once
// Watches folders (never single files: the system allows each user a few thousand watches) for
// changes of the files in them, through inotify.
//
// The owner polls Fd() (readable when events are queued) and calls ReadEvents, which never blocks.
// Each event names the folder as it was given to Watch and the file's name as the file system spells
// it (any bytes except '/' and NUL). A folder that goes away (deleted, moved, unmounted) is reported
// once as FolderGone and is no longer watched; a queue that overflowed is reported as Overflow: any
// file in any watched folder may have changed.
//
// Inotify only sees changes made through this machine's kernel: on a network or user-space file
// system another machine's writes go unseen, so Watch refuses such folders (RemoteFileSystem).
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

namespace pelmar {

enum class TWatchResult {
    Watched,
    LimitReached,      // the system's limit of watches is used up (fs.inotify.max_user_watches)
    RemoteFileSystem,  // changes made elsewhere are not delivered there
    Missing,           // no such folder
    Unavailable,       // the watcher itself could not be made (no inotify, too many instances)
    Failed,            // anything else (no permission, ...): LastErrno says what
};

struct TFolderEvent {
    enum class TKind { Changed, FolderGone, Overflow };
    TKind Kind = TKind::Changed;
    std::string Folder;  // as given to Watch; empty for Overflow
    std::string Name;    // the file changed; empty when the event concerns the folder itself
};

// The system calls the watcher makes, replaceable so tests can make them fail.
struct TWatchSystem {
    // inotify_add_watch: a watch descriptor, or -1 with errno set.
    std::function<int(int fd, const std::string& folder, uint32_t mask)> AddWatch;
    // statfs's f_type of the folder, or -1 with errno set.
    std::function<int64_t(const std::string& folder)> FileSystemType;
    // read() of the inotify descriptor.
    std::function<ssize_t(int fd, char* buffer, size_t size)> Read;
    static TWatchSystem Real();
};

class TFolderWatcher {
public:
    explicit TFolderWatcher(TWatchSystem system = TWatchSystem::Real());
    ~TFolderWatcher();
    TFolderWatcher(const TFolderWatcher&) = delete;
    TFolderWatcher& operator=(const TFolderWatcher&) = delete;

    // The inotify instance exists; without it every Watch is Unavailable.
    bool Available() const { return fd_ >= 0; }
    // The descriptor to poll for reading; -1 when not Available.
    int Fd() const { return fd_; }

    // Starts watching the folder (nothing more when it is watched already). The errno of a failure
    // is kept in LastErrno.
    TWatchResult Watch(const std::string& folder);
    void Unwatch(const std::string& folder);
    bool Watching(const std::string& folder) const;
    // The folders watched, sorted.
    std::vector<std::string> Folders() const;

    // Reads the events queued now and hands each to `sink`; returns at once when none are queued.
    // Reads a bounded amount per call: a queue filled faster than it is read is left for the next.
    void ReadEvents(const std::function<void(const TFolderEvent&)>& sink);

    // The same key for every spelling of a folder that differs only in trailing slashes ("" is ".").
    static std::string FolderKey(const std::string& folder);
    // The file system does not tell this machine's inotify about changes made elsewhere.
    static bool RemoteFileSystemType(int64_t type);
    // Splits a buffer of inotify records; a record that does not fit in the buffer ends it. `name`
    // stops at the first NUL of the record's name field.
    static void ParseRecords(std::string_view bytes,
                             const std::function<void(int wd, uint32_t mask, std::string_view name)>& sink);

    int LastErrno = 0;

private:
    void Dispatch(int wd, uint32_t mask, std::string_view name,
                  const std::function<void(const TFolderEvent&)>& sink);
    void Forget(int wd);

    TWatchSystem system_;
    int fd_ = -1;
    std::map<int, std::vector<std::string>> folders_;  // watch descriptor -> folders given for it
    std::map<std::string, int> watches_;               // folder -> watch descriptor
};

}  // namespace pelmar

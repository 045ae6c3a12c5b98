// The folder watcher: real inotify events with awkward names, folders that go away, refusals the
// caller must tell apart, and event buffers that do not add up.
#include "platform/FolderWatcher.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "support/TestSupport.h"

namespace pelmar {
namespace {

namespace fs = std::filesystem;

// Events queued now, waiting (as a condition, not a time bet) until at least `atLeast` came.
std::vector<TFolderEvent> Collect(TFolderWatcher& watcher, size_t atLeast) {
    std::vector<TFolderEvent> events;
    for (int round = 0; round < 100 && events.size() < atLeast; ++round) {
        pollfd fd{watcher.Fd(), POLLIN, 0};
        if (::poll(&fd, 1, 100) <= 0) continue;
        watcher.ReadEvents([&](const TFolderEvent& event) { events.push_back(event); });
    }
    return events;
}

bool NamesHave(const std::vector<TFolderEvent>& events, const std::string& folder, const std::string& name) {
    for (const TFolderEvent& event : events)
        if (event.Kind == TFolderEvent::TKind::Changed && event.Folder == folder && event.Name == name)
            return true;
    return false;
}

TEST(FolderWatcher, ReportsChangesWithTheNamesAsStored) {
    test::TempDir dir;
    TFolderWatcher watcher;
    ASSERT_TRUE(watcher.Available());
    const std::string folder = dir.Path().string();
    // Trailing slashes name the same folder; watching twice is one watch.
    ASSERT_EQ(watcher.Watch(folder + "//"), TWatchResult::Watched);
    ASSERT_EQ(watcher.Watch(folder), TWatchResult::Watched);
    EXPECT_EQ(watcher.Folders(), std::vector<std::string>{folder});

    const std::string names[] = {
        "ECHO.JHR",
        "with space.msg",
        "\xD0\xE5\xE3\xE8\xEE\xED.sqd",
        std::string("line\nbreak\x01\x7F\xFF"),
        std::string(255, 'x'),
    };
    for (const std::string& name : names) std::ofstream(dir.Path() / name) << "data";
    fs::rename(dir.Path() / "ECHO.JHR", dir.Path() / "ECHO.JDT");
    fs::remove(dir.Path() / "with space.msg");
    const std::vector<TFolderEvent> events = Collect(watcher, 2 * std::size(names) + 3);
    for (const std::string& name : names) EXPECT_TRUE(NamesHave(events, folder, name)) << name;
    EXPECT_TRUE(NamesHave(events, folder, "ECHO.JDT"));
    for (const TFolderEvent& event : events) EXPECT_EQ(event.Folder, folder);
}

TEST(FolderWatcher, AFolderRemovedWhileWatchedIsReportedOnceAndForgotten) {
    test::TempDir dir;
    const fs::path gone = dir.Path() / "area";
    fs::create_directories(gone);
    std::ofstream(gone / "1.msg") << "x";
    TFolderWatcher watcher;
    ASSERT_EQ(watcher.Watch(gone.string()), TWatchResult::Watched);
    fs::remove_all(gone);
    // The file's deletion, the folder's (IN_DELETE_SELF) and the end of the watch (IN_IGNORED).
    std::vector<TFolderEvent> events = Collect(watcher, 2);
    watcher.ReadEvents([&](const TFolderEvent& event) { events.push_back(event); });
    const auto goneEvents = std::count_if(events.begin(), events.end(), [](const TFolderEvent& event) {
        return event.Kind == TFolderEvent::TKind::FolderGone;
    });
    EXPECT_EQ(goneEvents, 1);
    EXPECT_FALSE(watcher.Watching(gone.string()));
    EXPECT_TRUE(watcher.Folders().empty());
    EXPECT_EQ(watcher.Watch(gone.string()), TWatchResult::Missing);
}

// The refusals a caller reports differently: a full table of watches, a file system that does not
// deliver remote changes, a folder that is not there, anything else.
TEST(FolderWatcher, RefusalsAreToldApart) {
    test::TempDir dir;
    const struct {
        const char* Case;
        int AddWatchErrno;   // 0: the real call
        int64_t FileSystem;  // -1: the real one
        bool Exists;
        TWatchResult Expected;
    } rows[] = {
        {"watch limit", ENOSPC, -1, true, TWatchResult::LimitReached},
        {"no permission", EACCES, -1, true, TWatchResult::Failed},
        {"NFS", 0, 0x6969, true, TWatchResult::RemoteFileSystem},
        {"CIFS", 0, 0xFF534D42, true, TWatchResult::RemoteFileSystem},
        {"FUSE", 0, 0x65735546, true, TWatchResult::RemoteFileSystem},
        {"ext4", 0, 0xEF53, true, TWatchResult::Watched},
        {"missing", 0, -1, false, TWatchResult::Missing},
    };
    for (const auto& row : rows) {
        TWatchSystem system = TWatchSystem::Real();
        if (row.AddWatchErrno != 0) {
            system.AddWatch = [error = row.AddWatchErrno](int, const std::string&, uint32_t) {
                errno = error;
                return -1;
            };
        }
        if (row.FileSystem >= 0)
            system.FileSystemType = [type = row.FileSystem](const std::string&) { return type; };
        TFolderWatcher watcher(system);
        const std::string folder = row.Exists ? dir.Path().string() : dir.File("nowhere");
        EXPECT_EQ(watcher.Watch(folder), row.Expected) << row.Case;
        EXPECT_EQ(watcher.Watching(folder), row.Expected == TWatchResult::Watched) << row.Case;
    }
}

std::string Record(int wd, uint32_t mask, const std::string& name, uint32_t len) {
    inotify_event header{};
    header.wd = wd;
    header.mask = mask;
    header.len = len;
    std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
    std::string field = name;
    field.resize(len, '\0');
    return bytes + field;
}

TEST(FolderWatcher, RecordsThatDoNotFitTheBufferEndIt) {
    struct TSeen {
        int Wd;
        std::string Name;
        bool operator==(const TSeen&) const = default;
    };
    const std::string good = Record(1, IN_MODIFY, "a.jhr", 16);
    const std::string unterminated = Record(2, IN_MODIFY, "0123456789abcdef", 16);
    const std::string empty = Record(3, IN_DELETE_SELF, "", 0);
    std::string lying = Record(4, IN_MODIFY, "b", 16);
    lying[offsetof(inotify_event, len)] = '\xFF';  // claims more than the buffer holds
    lying[offsetof(inotify_event, len) + 3] = '\x7F';
    const struct {
        const char* Case;
        std::string Bytes;
        std::vector<TSeen> Expected;
    } rows[] = {
        {"three records", good + unterminated + empty, {{1, "a.jhr"}, {2, "0123456789abcdef"}, {3, ""}}},
        {"name cut off",
         good + Record(5, IN_MODIFY, "c", 16).substr(0, sizeof(inotify_event) + 4),
         {{1, "a.jhr"}}},
        {"header cut off", good + std::string(7, '\x01'), {{1, "a.jhr"}}},
        {"length too large", good + lying + good, {{1, "a.jhr"}}},
        {"nothing", "", {}},
    };
    for (const auto& row : rows) {
        std::vector<TSeen> seen;
        TFolderWatcher::ParseRecords(row.Bytes, [&](int wd, uint32_t, std::string_view name) {
            seen.push_back({wd, std::string(name)});
        });
        EXPECT_EQ(seen, row.Expected) << row.Case;
    }
}

}  // namespace
}  // namespace pelmar

#pragma once
// A hierarchical key/value store standing in for the current user's registry hive.
//
// The whole store lives in memory and is kept in one text file in the "Windows Registry Editor
// Version 5.00" syntax, UTF-8 on disk, CP1251 in memory. A UTF-16LE file with a byte-order mark (as
// Windows regedit exports) is read as well.
//
// When data reaches the disk:
//   - a TRegistry handle that changed anything saves the store when it closes its key (CloseKey,
//     opening another key, destruction) and on Flush();
//   - while a TRegistryBatch is alive those saves are deferred; the outermost batch saves once when
//     it ends (for callers that write many keys in a row);
//   - a save writes a temp file in the same folder, fsyncs it, renames it over the old file and
//     fsyncs the folder. A failed save leaves the previous file untouched and keeps the changes in
//     memory (the next save retries); the failure is handed to the error reporter and kept in
//     LastError().
//
// Damaged files: a line that cannot be read (bad syntax, bad UTF-8, over-long) is skipped; if any
// line was skipped, or the file as a whole is unreadable (unknown header, bad encoding), the file is
// renamed aside to "<name>.damaged-<YYYYMMDD-HHMMSS>", what could be read is saved as the new file,
// and a report naming the kept copy goes to the error reporter. A file that exists but cannot be
// opened for reading is never overwritten: saves fail with an error until the problem is fixed.
//
// Key and value names compare case-insensitively (CP1251 rules); enumeration returns names in the
// order they were created. Paths are backslash-separated.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace pelmar {

namespace reg {
struct TKey;
}

// Raised when a value is read with the wrong type (or an integer that does not exist), or written
// into a key that no longer exists. what() is CP1251 text for the user.
class ERegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class RegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

// Raw registry type codes, as they appear in hex(N) values.
enum : uint32_t {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_EXPAND_SZ = 2,
    REG_BINARY = 3,
    REG_DWORD = 4,
    REG_MULTI_SZ = 7,
    REG_QWORD = 11,
};

class TRegistryStore {
public:
    using TReporter = std::function<void(const std::string& cp1251Text)>;

    // Which step of a save fails on purpose (tests of the failure path).
    enum class TSaveFault { None, Write, Sync, Rename };

    TRegistryStore();
    ~TRegistryStore();
    TRegistryStore(const TRegistryStore&) = delete;
    TRegistryStore& operator=(const TRegistryStore&) = delete;

    // The process-wide store behind every TRegistry handle, loaded from RegistryFilePath(). When
    // that path changes (PELMAR_HOME moved), pending changes are saved and the new file is loaded.
    static TRegistryStore& Instance();

    // Replaces the contents with the file at `path` (a missing file gives an empty store) and makes
    // it the file saves go to. False when the file was damaged or unreadable (see LastError()).
    bool Load(const std::string& path);
    // Reads a .reg file (UTF-8 or UTF-16LE with BOM) into the store, merging it over the current
    // contents; the store's own file is unchanged. False when nothing could be read.
    bool Import(const std::string& path);
    // Writes the whole store to its file now. False on failure (see LastError()).
    bool Save();
    // Saves when there are unsaved changes and no batch is open.
    bool Flush();

    bool IsDirty() const;
    std::string FilePath() const;
    // The text of the last load or save problem (CP1251), empty when there was none.
    std::string LastError() const;

    // Where load and save problems are reported (the user interface shows a message box). Reports
    // made before a reporter is installed are kept and delivered when one is set; without a
    // reporter they also go to stderr. Saves that keep failing are reported once, and again after
    // a save succeeded in between.
    void SetErrorReporter(TReporter reporter);
    void SetSaveFaultForTesting(TSaveFault fault);
    // How many problems were reported so far: a caller can tell whether its failed save was told.
    uint64_t ReportCount() const;

    // The store serialised in the on-disk syntax (UTF-8).
    std::string ToText() const;

    struct TImpl;

private:
    friend class TRegistry;
    friend class TRegistryBatch;
    std::unique_ptr<TImpl> impl_;
};

// Defers saving of the store while alive; the outermost batch saves once at its end. A batch that
// ends because an exception unwinds saves nothing and puts the tree back as it was when the batch
// began, so a half-done series of writes never reaches the disk (not even with a later save).
class TRegistryBatch {
public:
    explicit TRegistryBatch(TRegistryStore& store = TRegistryStore::Instance());
    ~TRegistryBatch();
    TRegistryBatch(const TRegistryBatch&) = delete;
    TRegistryBatch& operator=(const TRegistryBatch&) = delete;
    // Ends the batch early and saves; false when the save failed.
    bool Commit();

private:
    TRegistryStore& store_;
    bool active_ = true;
    int exceptions_ = 0;  // uncaught exceptions when the batch began
    std::unique_ptr<reg::TKey> before_;
    bool dirtyBefore_ = false;
};

// A handle on one key below HKEY_CURRENT_USER, in the manner of a registry-access class: open a key,
// read and write its values, close it. Paths that begin with '\' are from the hive's root; other
// paths are relative to the open key (or to the root when no key is open).
class TRegistry {
public:
    explicit TRegistry(TRegistryStore& store = TRegistryStore::Instance());
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    bool OpenKey(const std::string& path, bool create);
    // Like OpenKey without create; the name is kept for callers that only read.
    bool OpenKeyReadOnly(const std::string& path) { return OpenKey(path, false); }
    void CloseKey();
    // Saves the store now if it holds unsaved changes (unless a batch is open); false when the
    // save failed.
    bool Flush();

    // Path of the open key from the root, without a leading backslash; empty when none is open.
    std::string CurrentPath() const;
    bool HasOpenKey() const { return open_; }

    bool KeyExists(const std::string& path) const;
    bool ValueExists(const std::string& name) const;
    bool HasSubKeys() const;

    // Integers and booleans: the value must exist and be an integer, else ERegistryError.
    int32_t ReadInteger(const std::string& name) const;
    bool ReadBool(const std::string& name) const;
    // Strings: "" when the value does not exist; ERegistryError when it is not a string.
    std::string ReadString(const std::string& name) const;
    // Binary values (and values of types without a name here): the bytes; "" when missing;
    // ERegistryError for strings and integers.
    std::string ReadBinaryData(const std::string& name) const;

    void WriteInteger(const std::string& name, int32_t value);
    void WriteBool(const std::string& name, bool value);
    void WriteString(const std::string& name, const std::string& value);
    void WriteExpandString(const std::string& name, const std::string& value);
    void WriteBinaryData(const std::string& name, const std::string& bytes);

    // rdUnknown when the value does not exist.
    RegDataType GetDataType(const std::string& name) const;
    // Bytes the value occupies: integers 4, binary data their length, strings their length plus
    // the terminating zero (as the ANSI registry functions count). -1 when the value does not exist.
    int GetDataSize(const std::string& name) const;

    std::vector<std::string> GetKeyNames() const;
    std::vector<std::string> GetValueNames() const;

    bool DeleteValue(const std::string& name);
    // Deletes the key with everything below it. The hive root cannot be deleted.
    bool DeleteKey(const std::string& path);

private:
    std::vector<std::string> Resolve(const std::string& path) const;
    // The open key (the hive root when none is open); null when it was deleted meanwhile.
    reg::TKey* CurrentKey() const;
    void Put(const std::string& name, uint32_t type, std::string data);
    void Changed() { modified_ = true; }

    TRegistryStore& store_;
    std::vector<std::string> current_;  // path components of the open key
    bool open_ = false;
    bool modified_ = false;
    mutable reg::TKey* cachedKey_ = nullptr;
    mutable uint64_t cachedGeneration_ = 0;
};

}  // namespace pelmar

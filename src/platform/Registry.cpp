#include "platform/Registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "platform/AtomicFile.h"
#include "platform/Codepage.h"
#include "platform/Paths.h"
#include "platform/RegistryFile.h"

namespace pelmar {

namespace fs = std::filesystem;

namespace {

const std::string kCurrentUser = "HKEY_CURRENT_USER";
constexpr uintmax_t kMaxFileSize = 64u * 1024 * 1024;

std::string Cp(const char* utf8) {
    return Utf8ToAnsi(utf8);
}
std::string PathText(const std::string& path) {
    return Utf8ToAnsi(path);
}
std::string ErrnoText(int error) {
    return std::strerror(error);
}

std::string PutLe32(int32_t value) {
    const auto u = static_cast<uint32_t>(value);
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
    return bytes;
}

int32_t GetLe32(const std::string& bytes) {
    uint32_t u = 0;
    for (size_t i = 0; i < 4 && i < bytes.size(); ++i)
        u |= uint32_t(static_cast<uint8_t>(bytes[i])) << (8 * i);
    return static_cast<int32_t>(u);
}

// Names end up on one line of the file between quotes or brackets; control characters would break
// that line (and could smuggle in lines of their own).
void CheckName(const std::string& name, const std::string& what) {
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20)
            throw ERegistryError(Cp("Недопустимое имя ") + what + ": " + name);
    }
}

std::string Timestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

struct TRegistryStore::TImpl {
    mutable std::recursive_mutex Mutex;
    reg::TKey Root;  // its sub-keys are the hives
    std::string Path;
    bool Loaded = false;
    // Changes whenever keys may have been freed (reload, import, delete), so that handles know
    // their cached key pointers are stale.
    uint64_t Generation = 1;
    bool Dirty = false;
    bool SaveBlocked = false;  // the file exists but could not be read: never overwrite it
    int BatchDepth = 0;
    std::string LastError;
    TReporter Reporter;
    std::vector<std::string> Pending;
    TSaveFault Fault = TSaveFault::None;
    bool SaveFailing = false;  // the last save failed and was reported
    uint64_t Reports = 0;

    reg::TKey& Hive() { return Root.SubKey(kCurrentUser); }

    reg::TKey* Find(const std::vector<std::string>& path) {
        reg::TKey* key = &Hive();
        for (const auto& name : path) {
            key = key->FindSubKey(name);
            if (key == nullptr) return nullptr;
        }
        return key;
    }

    void Report(const std::string& text) {
        LastError = text;
        ++Reports;
        if (Reporter) {
            Reporter(text);
            return;
        }
        Pending.push_back(text);
        std::cerr << "pelmar: " << AnsiToUtf8(text) << '\n';
    }

    bool Fail(const std::string& text) {
        Report(text);
        return false;
    }

    // Saves that keep failing after the first are one trouble: it is told once, and again only
    // after a save succeeded in between.
    bool FailSave(const std::string& text) {
        LastError = text;
        if (!SaveFailing) Report(text);
        SaveFailing = true;
        return false;
    }

    bool Save();
    bool LoadFile(const std::string& path);
};

bool TRegistryStore::TImpl::Save() {
    if (Path.empty()) return FailSave(Cp("Не задан файл настроек."));
    const std::string saveFailed = Cp("Не удалось сохранить настройки в файл ") + PathText(Path) + ": ";
    if (SaveBlocked)
        return FailSave(saveFailed + Cp("прежний файл не удалось прочитать, и он не будет перезаписан."));

    // The folder is made for a first save; a link to the file stays a link (ReplaceFile).
    std::error_code ec;
    const fs::path folder = fs::path(Path).parent_path();
    if (!folder.empty()) fs::create_directories(folder, ec);
    const std::string text = reg::Serialise(Root);
    // In TSaveFault's order.
    static constexpr TReplaceFault kFaults[] = {TReplaceFault::None, TReplaceFault::Write,
                                                TReplaceFault::Sync, TReplaceFault::Rename};
    // Mode 0600: the file holds log-in passwords.
    const int error = ReplaceFile(Path, text, 0600, kFaults[static_cast<int>(Fault)]);
    if (error != 0) return FailSave(saveFailed + ErrnoText(error));
    Dirty = false;
    SaveFailing = false;
    LastError.clear();
    return true;
}

// Reads the file into a fresh tree. A damaged file is renamed aside and what could be read is saved
// in its place, so the next start sees a clean file and the original stays for inspection.
bool TRegistryStore::TImpl::LoadFile(const std::string& path) {
    Root = reg::TKey();
    ++Generation;
    Path = path;
    Loaded = true;
    Dirty = false;
    SaveBlocked = false;
    SaveFailing = false;
    LastError.clear();

    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (ec || !fs::exists(status)) return true;  // no file yet: an empty store

    const std::string unreadable = Cp("Не удалось прочитать файл настроек ") + PathText(path) + ": ";
    std::string bytes;
    bool tooBig = false;
    {
        std::ifstream in(path, std::ios::binary);
        if (!fs::is_regular_file(status) || !in) {
            SaveBlocked = true;
            return Fail(unreadable + ErrnoText(errno != 0 ? errno : EIO) +
                        Cp(". Настройки не будут сохраняться, пока файл недоступен."));
        }
        const uintmax_t size = fs::file_size(path, ec);
        tooBig = !ec && size > kMaxFileSize;
        if (!tooBig) {
            bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            if (in.bad()) {
                SaveBlocked = true;
                return Fail(unreadable + Cp("ошибка чтения. Настройки не будут сохраняться."));
            }
        }
    }

    reg::TParseResult result;
    if (tooBig) {
        result.Fatal = Cp("файл слишком велик");
    } else {
        result = reg::Parse(bytes, Root);
    }
    if (result.Fatal.empty() && result.BadLines.empty()) return true;

    std::string aside = path + ".damaged-" + Timestamp();
    for (int n = 1; fs::exists(aside, ec) && n < 100; ++n)
        aside = path + ".damaged-" + Timestamp() + "-" + std::to_string(n);
    std::string text = Cp("Файл настроек ") + PathText(path) + Cp(" повреждён");
    if (!result.Fatal.empty()) {
        text += " (" + result.Fatal + Cp("); настройки не прочитаны");
        Root = reg::TKey();
    } else {
        text += Cp(": пропущены строки ") + reg::LineList(result.BadLines);
    }
    if (::rename(path.c_str(), aside.c_str()) != 0) {
        SaveBlocked = true;
        return Fail(text + Cp(". Файл не удалось переименовать (") + ErrnoText(errno) +
                    Cp("), поэтому настройки не будут сохраняться."));
    }
    text += Cp(". Исходный файл сохранён как ") + PathText(aside) + ".";
    if (!Root.SubKeys.empty()) {
        Dirty = true;
        Save();
    }
    return Fail(text);
}

// ---------------------------------------------------------------------------------------------

TRegistryStore::TRegistryStore() : impl_(std::make_unique<TImpl>()) {}
TRegistryStore::~TRegistryStore() = default;

TRegistryStore& TRegistryStore::Instance() {
    static TRegistryStore store;
    // Recursive: a reporter that shows a message box may run code that opens the store again.
    static std::recursive_mutex switching;
    std::lock_guard lock(switching);
    const std::string path = RegistryFilePath();
    std::lock_guard storeLock(store.impl_->Mutex);
    if (!store.impl_->Loaded || store.impl_->Path != path) {
        if (store.impl_->Loaded) store.Flush();
        store.Load(path);
    }
    return store;
}

bool TRegistryStore::Load(const std::string& path) {
    std::lock_guard lock(impl_->Mutex);
    return impl_->LoadFile(path);
}

bool TRegistryStore::Import(const std::string& path) {
    std::lock_guard lock(impl_->Mutex);
    std::ifstream in(path, std::ios::binary);
    std::error_code ec;
    const uintmax_t size = fs::file_size(path, ec);
    if (!in || ec || size > kMaxFileSize)
        return impl_->Fail(Cp("Не удалось прочитать файл ") + PathText(path) + ".");
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ++impl_->Generation;
    const reg::TParseResult result = reg::Parse(bytes, impl_->Root);
    if (!result.Fatal.empty())
        return impl_->Fail(Cp("Файл ") + PathText(path) + Cp(" не прочитан: ") + result.Fatal + ".");
    impl_->Dirty = true;
    const bool saved = Flush();
    if (!result.BadLines.empty()) {
        return impl_->Fail(Cp("В файле ") + PathText(path) + Cp(" пропущены строки ") +
                           reg::LineList(result.BadLines) + ".");
    }
    return saved;
}

bool TRegistryStore::Save() {
    std::lock_guard lock(impl_->Mutex);
    return impl_->Save();
}

bool TRegistryStore::Flush() {
    std::lock_guard lock(impl_->Mutex);
    if (!impl_->Dirty || impl_->BatchDepth > 0) return true;
    return impl_->Save();
}

bool TRegistryStore::IsDirty() const {
    std::lock_guard lock(impl_->Mutex);
    return impl_->Dirty;
}

std::string TRegistryStore::FilePath() const {
    std::lock_guard lock(impl_->Mutex);
    return impl_->Path;
}

std::string TRegistryStore::LastError() const {
    std::lock_guard lock(impl_->Mutex);
    return impl_->LastError;
}

uint64_t TRegistryStore::ReportCount() const {
    std::lock_guard lock(impl_->Mutex);
    return impl_->Reports;
}

void TRegistryStore::SetErrorReporter(TReporter reporter) {
    std::vector<std::string> pending;
    {
        std::lock_guard lock(impl_->Mutex);
        impl_->Reporter = std::move(reporter);
        if (!impl_->Reporter) return;
        pending.swap(impl_->Pending);
    }
    for (const auto& text : pending) impl_->Reporter(text);
}

void TRegistryStore::SetSaveFaultForTesting(TSaveFault fault) {
    std::lock_guard lock(impl_->Mutex);
    impl_->Fault = fault;
}

std::string TRegistryStore::ToText() const {
    std::lock_guard lock(impl_->Mutex);
    return reg::Serialise(impl_->Root);
}

// ---------------------------------------------------------------------------------------------

TRegistryBatch::TRegistryBatch(TRegistryStore& store)
    : store_(store), exceptions_(std::uncaught_exceptions()) {
    std::lock_guard lock(store_.impl_->Mutex);
    ++store_.impl_->BatchDepth;
    before_ = store_.impl_->Root.Clone();
    dirtyBefore_ = store_.impl_->Dirty;
}

TRegistryBatch::~TRegistryBatch() {
    if (active_ && std::uncaught_exceptions() > exceptions_) {
        active_ = false;
        std::lock_guard lock(store_.impl_->Mutex);
        --store_.impl_->BatchDepth;
        store_.impl_->Root = std::move(*before_);
        store_.impl_->Dirty = dirtyBefore_;
        ++store_.impl_->Generation;  // the handles' cached keys are gone
        return;
    }
    try {
        Commit();
    } catch (...) {
    }
}

bool TRegistryBatch::Commit() {
    if (!active_) return true;
    active_ = false;
    {
        std::lock_guard lock(store_.impl_->Mutex);
        --store_.impl_->BatchDepth;
    }
    return store_.Flush();
}

// ---------------------------------------------------------------------------------------------

TRegistry::TRegistry(TRegistryStore& store) : store_(store) {}

TRegistry::~TRegistry() {
    try {
        CloseKey();
    } catch (...) {
    }
}

std::vector<std::string> TRegistry::Resolve(const std::string& path) const {
    std::vector<std::string> result;
    if (open_ && (path.empty() || path.front() != '\\')) result = current_;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) result.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

bool TRegistry::OpenKey(const std::string& path, bool create) {
    std::lock_guard lock(store_.impl_->Mutex);
    const auto target = Resolve(path);
    if (store_.impl_->Find(target) == nullptr) {
        if (!create) return false;
        for (const auto& name : target) CheckName(name, Cp("раздела"));
        // The file could not be read back: deeper files count as damaged.
        if (target.size() + 1 > reg::MaxKeyDepth)
            throw ERegistryError(Cp("Слишком глубокая вложенность разделов: ") + path);
        reg::TKey* key = &store_.impl_->Hive();
        for (const auto& name : target) key = &key->SubKey(name);
        store_.impl_->Dirty = true;
        Changed();
    }
    // Opening another key closes the previous one, which saves what this handle changed.
    if (modified_) Flush();
    current_ = target;
    cachedKey_ = nullptr;
    open_ = true;
    return true;
}

void TRegistry::CloseKey() {
    if (modified_) {
        modified_ = false;
        store_.Flush();
    }
    open_ = false;
    current_.clear();
    cachedKey_ = nullptr;
}

bool TRegistry::Flush() {
    modified_ = false;
    return store_.Flush();
}

reg::TKey* TRegistry::CurrentKey() const {
    const uint64_t generation = store_.impl_->Generation;
    if (cachedKey_ == nullptr || cachedGeneration_ != generation) {
        cachedKey_ = store_.impl_->Find(current_);
        cachedGeneration_ = generation;
    }
    return cachedKey_;
}

std::string TRegistry::CurrentPath() const {
    std::string path;
    for (const auto& name : current_) path += (path.empty() ? "" : "\\") + name;
    return path;
}

bool TRegistry::KeyExists(const std::string& path) const {
    std::lock_guard lock(store_.impl_->Mutex);
    return store_.impl_->Find(Resolve(path)) != nullptr;
}

bool TRegistry::ValueExists(const std::string& name) const {
    std::lock_guard lock(store_.impl_->Mutex);
    const reg::TKey* key = CurrentKey();
    return key != nullptr && key->FindValue(name) != nullptr;
}

bool TRegistry::HasSubKeys() const {
    std::lock_guard lock(store_.impl_->Mutex);
    const reg::TKey* key = CurrentKey();
    return key != nullptr && !key->SubKeys.empty();
}

namespace {

RegDataType DataTypeOf(uint32_t type) {
    switch (type) {
        case REG_SZ:
            return RegDataType::rdString;
        case REG_EXPAND_SZ:
            return RegDataType::rdExpandString;
        case REG_DWORD:
            return RegDataType::rdInteger;
        case REG_BINARY:
            return RegDataType::rdBinary;
        default:
            return RegDataType::rdUnknown;
    }
}

[[noreturn]] void WrongType(const std::string& name) {
    throw ERegistryError(Cp("Неверный тип данных для '") + name + "'");
}

}  // namespace

int32_t TRegistry::ReadInteger(const std::string& name) const {
    std::lock_guard lock(store_.impl_->Mutex);
    const reg::TKey* key = CurrentKey();
    const reg::TValue* value = key != nullptr ? key->FindValue(name) : nullptr;
    if (value == nullptr || value->Type != REG_DWORD || value->Data.size() != 4) WrongType(name);
    return GetLe32(value->Data);
}

bool TRegistry::ReadBool(const std::string& name) const {
    return ReadInteger(name) != 0;
}

std::string TRegistry::ReadString(const std::string& name) const {
    std::lock_guard lock(store_.impl_->Mutex);
    const reg::TKey* key = CurrentKey();
    const reg::TValue* value = key != nullptr ? key->FindValue(name) : nullptr;
    if (value == nullptr) return {};
    if (value->Type != REG_SZ && value->Type != REG_EXPAND_SZ) WrongType(name);
    return value->Data;
}

std::string TRegistry::ReadBinaryData(const std::string& name) const {
    std::lock_guard lock(store_.impl_->Mutex);
    const reg::TKey* key = CurrentKey();
    const reg::TValue* value = key != nullptr ? key->FindValue(name) : nullptr;
    if (value == nullptr) return {};
    if (DataTypeOf(value->Type) != RegDataType::rdBinary && DataTypeOf(value->Type) != RegDataType::rdUnknown)
        WrongType(name);
    return value->Data;
}

namespace {

// Registry strings end at their first zero character.
std::string UpToZero(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

}  // namespace

void TRegistry::Put(const std::string& name, uint32_t type, std::string data) {
    std::lock_guard lock(store_.impl_->Mutex);
    CheckName(name, Cp("параметра"));
    reg::TKey* key = CurrentKey();
    if (key == nullptr) throw ERegistryError(Cp("Не удалось записать '") + name + Cp("': раздел удалён"));
    key->SetValue(name, type, std::move(data));
    store_.impl_->Dirty = true;
    Changed();
}

void TRegistry::WriteInteger(const std::string& name, int32_t value) {
    Put(name, REG_DWORD, PutLe32(value));
}

void TRegistry::WriteBool(const std::string& name, bool value) {
    WriteInteger(name, value ? 1 : 0);
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
    Put(name, REG_SZ, UpToZero(value));
}

void TRegistry::WriteExpandString(const std::string& name, const std::string& value) {
    Put(name, REG_EXPAND_SZ, UpToZero(value));
}

void TRegistry::WriteBinaryData(const std::string& name, const std::string& bytes) {
    Put(name, REG_BINARY, bytes);
}

RegDataType TRegistry::GetDataType(const std::string& name) const {
    std::lock_guard lock(store_.impl_->Mutex);
    const reg::TKey* key = CurrentKey();
    const reg::TValue* value = key != nullptr ? key->FindValue(name) : nullptr;
    return value != nullptr ? DataTypeOf(value->Type) : RegDataType::rdUnknown;
}

int TRegistry::GetDataSize(const std::string& name) const {
    std::lock_guard lock(store_.impl_->Mutex);
    const reg::TKey* key = CurrentKey();
    const reg::TValue* value = key != nullptr ? key->FindValue(name) : nullptr;
    if (value == nullptr) return -1;
    const auto size = static_cast<int>(value->Data.size());
    return value->Type == REG_SZ || value->Type == REG_EXPAND_SZ ? size + 1 : size;
}

std::vector<std::string> TRegistry::GetKeyNames() const {
    std::lock_guard lock(store_.impl_->Mutex);
    std::vector<std::string> names;
    if (const reg::TKey* key = CurrentKey()) {
        for (const auto& sub : key->SubKeys) names.push_back(sub->Name);
    }
    return names;
}

std::vector<std::string> TRegistry::GetValueNames() const {
    std::lock_guard lock(store_.impl_->Mutex);
    std::vector<std::string> names;
    if (const reg::TKey* key = CurrentKey()) {
        for (const auto& value : key->Values) names.push_back(value.Name);
    }
    return names;
}

bool TRegistry::DeleteValue(const std::string& name) {
    std::lock_guard lock(store_.impl_->Mutex);
    reg::TKey* key = CurrentKey();
    if (key == nullptr || !key->RemoveValue(name)) return false;
    store_.impl_->Dirty = true;
    Changed();
    return true;
}

bool TRegistry::DeleteKey(const std::string& path) {
    std::lock_guard lock(store_.impl_->Mutex);
    auto target = Resolve(path);
    if (target.empty()) return false;
    const std::string name = target.back();
    target.pop_back();
    reg::TKey* parent = store_.impl_->Find(target);
    if (parent == nullptr || !parent->RemoveSubKey(name)) return false;
    ++store_.impl_->Generation;
    store_.impl_->Dirty = true;
    Changed();
    return true;
}

}  // namespace pelmar

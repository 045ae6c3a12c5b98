#include "nodelist/AddressBook.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/Codepage.h"
#include "platform/AtomicFile.h"

namespace pelmar {

namespace fs = std::filesystem;

namespace {

// A book of this size is damage, not correspondents.
constexpr uintmax_t kMaxFileSize = 64u * 1024 * 1024;

std::string Cp(const char* utf8) {
    return Utf8ToAnsi(utf8);
}

void PutString(std::string& out, const std::string& text) {
    const auto n = static_cast<uint32_t>(text.size());
    const char bytes[4] = {static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16),
                           static_cast<char>(n >> 24)};
    out.append(bytes, 4);
    out += text;
}

// Bounded reads from the file's bytes.
class TReader {
public:
    explicit TReader(std::string_view bytes) : bytes_(bytes) {}
    size_t Left() const { return bytes_.size() - pos_; }
    bool Int(int32_t& value) {
        if (Left() < 4) return false;
        const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + pos_);
        value = static_cast<int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
        pos_ += 4;
        return true;
    }
    bool String(std::string& text) {
        int32_t length = 0;
        if (!Int(length) || length < 0 || static_cast<size_t>(length) > Left()) return false;
        text.assign(bytes_.data() + pos_, static_cast<size_t>(length));
        pos_ += static_cast<size_t>(length);
        return true;
    }

private:
    std::string_view bytes_;
    size_t pos_ = 0;
};

std::string Timestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

}  // namespace

int TAddressBook::Add() {
    names_.emplace_back();
    holders_.emplace_back();
    return Count() - 1;
}

void TAddressBook::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    names_.erase(names_.begin() + index);
    holders_.erase(holders_.begin() + index);
}

int TAddressBook::IndexOf(const std::string& name) const {
    for (int i = 0; i < Count(); ++i)
        if (AnsiSameText(names_[i], name)) return i;
    return -1;
}

bool TAddressBook::Parse(std::string_view bytes) {
    TReader in(bytes);
    int32_t count = 0;
    if (!in.Int(count) || count < 0) return false;
    for (int32_t i = 0; i < count; ++i) {
        // Read the whole entry before adding it, so a damaged one is not half there.
        std::string name, notes;
        int32_t addressCount = 0;
        if (!in.String(name) || !in.String(notes) || !in.Int(addressCount) || addressCount < 0 ||
            static_cast<size_t>(addressCount) > in.Left() / 4)
            return false;
        std::vector<std::string> addresses(static_cast<size_t>(addressCount));
        for (auto& address : addresses)
            if (!in.String(address)) return false;
        const int index = Add();
        names_[index] = std::move(name);
        holders_[index] = {std::move(addresses), std::move(notes)};
    }
    return in.Left() == 0;
}

std::string TAddressBook::Serialise() const {
    std::string out;
    const auto n = static_cast<uint32_t>(names_.size());
    const char count[4] = {static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16),
                           static_cast<char>(n >> 24)};
    out.append(count, 4);
    for (int i = 0; i < Count(); ++i) {
        PutString(out, names_[i]);
        PutString(out, holders_[i].Notes);
        const auto m = static_cast<uint32_t>(holders_[i].Addresses.size());
        const char addresses[4] = {static_cast<char>(m), static_cast<char>(m >> 8),
                                   static_cast<char>(m >> 16), static_cast<char>(m >> 24)};
        out.append(addresses, 4);
        for (const auto& address : holders_[i].Addresses) PutString(out, address);
    }
    return out;
}

bool TAddressBook::Load() {
    lastError_.clear();
    saveBlocked_ = false;
    const std::string path = FilePath();
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (ec || !fs::exists(status)) return true;  // no book yet

    std::string bytes;
    bool tooBig = false;
    {
        // Checked before opening: a named pipe in its place would block the start-up.
        std::ifstream in;
        if (fs::is_regular_file(status)) in.open(path, std::ios::binary);
        if (!fs::is_regular_file(status) || !in) {
            saveBlocked_ = true;
            lastError_ = Cp("Не удалось прочитать адресную книгу ") + path + ": " +
                         std::strerror(errno ? errno : EIO) +
                         Cp(". Она не будет сохраняться, пока файл недоступен.");
            return false;
        }
        const uintmax_t size = fs::file_size(path, ec);
        tooBig = ec || size > kMaxFileSize;
        if (!tooBig) {
            bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            if (in.bad()) {
                saveBlocked_ = true;
                lastError_ = Cp("Ошибка чтения адресной книги ") + path + Cp(". Она не будет сохраняться.");
                return false;
            }
        }
    }
    const int before = Count();
    if (!tooBig && Parse(bytes)) return true;

    std::string aside = path + ".damaged-" + Timestamp();
    for (int n = 1; fs::exists(aside, ec) && n < 100; ++n)
        aside = path + ".damaged-" + Timestamp() + "-" + std::to_string(n);
    lastError_ = Cp("Файл адресной книги ") + path + Cp(" повреждён; прочитано записей: ") +
                 std::to_string(Count() - before);
    if (::rename(path.c_str(), aside.c_str()) != 0) {
        saveBlocked_ = true;
        lastError_ += Cp(". Файл не удалось переименовать (") + std::strerror(errno) +
                      Cp("), поэтому адресная книга не будет сохраняться.");
        return false;
    }
    lastError_ += Cp(". Исходный файл сохранён как ") + aside + ".";
    return false;
}

bool TAddressBook::Save() {
    const std::string path = FilePath();
    const std::string failed = Cp("Не удалось сохранить адресную книгу в файл ") + path + ": ";
    if (saveBlocked_) {
        lastError_ = failed + Cp("прежний файл не удалось прочитать, и он не будет перезаписан.");
        return false;
    }
    std::error_code ec;
    if (!dataFolder_.empty()) fs::create_directories(dataFolder_, ec);
    if (const int error = ReplaceFile(path, Serialise(), 0644); error != 0) {
        lastError_ = failed + std::strerror(error);
        return false;
    }
    lastError_.clear();
    return true;
}

TAddressBook* AddressBook = nullptr;

}  // namespace pelmar

#include "core/TextUtils.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string_view>

#include "core/Codepage.h"

namespace pelmar {

bool StartsWith(const std::string& prefix, const std::string& text) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool StartsWithText(const std::string& prefix, const std::string& text) {
    return prefix.size() <= text.size() &&
           AnsiUpperCase(text.substr(0, prefix.size())) == AnsiUpperCase(prefix);
}

std::string NameInitials(const std::string& name) {
    std::string initials;
    bool inWord = false;
    for (char c : name) {
        if (c == ' ') {
            inWord = false;
            continue;
        }
        if (inWord) continue;
        inWord = true;
        initials += c;
        if (initials.size() == 3) break;
    }
    return initials;
}

std::string CompactReplyPrefix(const std::string& prefix, const std::string& subject) {
    // Counts beyond this are not real reply depths; capping keeps the sum from overflowing.
    constexpr int64_t kMaxCount = 1'000'000'000;
    int64_t count = 0;
    std::string_view work = subject;
    while (!work.empty()) {
        if (work.front() == ' ') {
            work.remove_prefix(1);
            continue;
        }
        if (!work.starts_with(prefix)) break;
        std::string_view rest = work.substr(prefix.size());
        if (rest.starts_with(':')) {
            count = std::min(count + 1, kMaxCount);
            work = rest.substr(1);
            continue;
        }
        if (!rest.starts_with('^')) break;
        rest.remove_prefix(1);
        int64_t number = 0;
        size_t digits = 0;
        while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') {
            number = std::min(number * 10 + (rest[digits] - '0'), kMaxCount);
            ++digits;
        }
        if (digits >= rest.size() || rest[digits] != ':') break;
        count = std::min(count + number, kMaxCount);
        work = rest.substr(digits + 1);
    }
    if (count == 0) return subject;
    if (count == 1) return prefix + ": " + std::string(work);
    return prefix + "^" + std::to_string(count) + ": " + std::string(work);
}

std::string JoinList(const std::vector<std::string>& items) {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += ", ";
        text += items[i];
    }
    return text;
}

bool IsValidUserName(const std::string& text) {
    auto isLetter = [](uint8_t c) { return (c >= 0x41 && c <= 0x7A) || c >= 0xC0; };
    if (text.empty() || !isLetter(static_cast<uint8_t>(text.front()))) return false;
    for (char ch : text) {
        const auto c = static_cast<uint8_t>(ch);
        if (!isLetter(c) && c != ' ' && c != ',' && c != '-' && c != '.' && c != ':') return false;
    }
    return true;
}

namespace {
std::atomic<KeyStateQuery> keyStateQuery{nullptr};
}

void SetKeyStateQuery(KeyStateQuery query) {
    keyStateQuery.store(query);
}

bool IsKeyDown(int virtualKey) {
    const KeyStateQuery query = keyStateQuery.load();
    return query != nullptr && query(virtualKey);
}

void CreateFlagFile(const std::string& path) {
    // O_EXCL: an existing flag (perhaps already seen by the tosser) stays exactly as it is.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) ::close(fd);
}

}  // namespace pelmar

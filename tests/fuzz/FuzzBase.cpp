#include "FuzzBase.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "core/Errors.h"
#include "msgbase/MessageBase.h"

namespace pelmar::fuzz {
namespace {

uint32_t ReadLe32(std::string_view bytes) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4 && i < bytes.size(); ++i) value |= uint32_t(uint8_t(bytes[i])) << (8 * i);
    return value;
}

// One read operation; a damaged message may refuse it, nothing else may go wrong.
template <typename Op>
void Guarded(Op&& op) {
    try {
        op();
    } catch (const EReadError&) {
    } catch (const EConvertError&) {
    }
}

}  // namespace

std::vector<std::string_view> SplitParts(const uint8_t* data, size_t size, size_t parts) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<size_t> lengths;
    for (size_t i = 0; i + 1 < parts; ++i) {
        lengths.push_back(ReadLe32(rest.substr(0, 4)));
        rest.remove_prefix(std::min<size_t>(4, rest.size()));
    }
    std::vector<std::string_view> result;
    for (const size_t length : lengths) {
        const size_t take = std::min(length, rest.size());
        result.push_back(rest.substr(0, take));
        rest.remove_prefix(take);
    }
    result.push_back(rest);
    return result;
}

std::string PackParts(const std::vector<std::string>& parts) {
    std::string out;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        const auto length = static_cast<uint32_t>(parts[i].size());
        for (int b = 0; b < 4; ++b) out += static_cast<char>((length >> (8 * b)) & 0xFF);
    }
    for (const std::string& part : parts) out += part;
    return out;
}

namespace {

// The process's scratch folder, removed when the process ends normally.
struct TScratchFolder {
    TScratchFolder() {
        const std::filesystem::path root = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
        std::string pattern = (root / "pelmar-fuzz-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a scratch folder");
        Path = pattern + "/";
    }
    ~TScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
    std::string Path;
};

}  // namespace

const std::string& FreshScratchDir() {
    static const TScratchFolder folder;
    const std::string& dir = folder.Path;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
        std::filesystem::remove_all(entry.path(), ec);
    return dir;
}

void WriteWholeFile(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot write " + path);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
}

void WalkBase(TMessageBase& base) {
    base.Open();
    if (!base.Active) return;
    std::string attrText;
    // The walk the message list does, each message read in every way the program reads it. Count()
    // may come from a damaged header, so positions are only those the walk hands out.
    for (bool more = base.First(); more; more = base.Next()) {
        const int32_t position = base.Current;
        Guarded([&] { base.ReadMsgId(); });
        Guarded([&] { base.ReadHeader(); });
        Guarded([&] { base.ReadToAndRead(); });
        base.IsValid();
        base.CheckCurrent();
        Guarded([&] { base.ReadMessage(position); });
        base.GetAttrText(attrText);
    }
    // Positions outside the list must be refused, not read.
    Guarded([&] { base.ReadMessage(-1); });
    Guarded([&] { base.ReadMessage(base.Count()); });
    Guarded([&] { base.CountUnread(); });
    base.ChangeCounter();
    base.FileStampIs(base.FileStamp());
    base.Close();
}

}  // namespace pelmar::fuzz

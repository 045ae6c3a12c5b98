#include "import/ConfigLines.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/Errors.h"

namespace pelmar {

namespace {

constexpr size_t ReadChunk = 65536;

}  // namespace

TConfigLines::TConfigLines() : buffer_(ReadChunk) {}

TConfigLines::~TConfigLines() {
    if (fd_ >= 0) ::close(fd_);
}

bool TConfigLines::Open(const std::string& path) {
    if (fd_ >= 0) ::close(fd_);
    begin_ = end_ = total_ = 0;
    eof_ = false;
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    return fd_ >= 0;
}

bool TConfigLines::Fill() {
    if (eof_ || fd_ < 0) return false;
    for (;;) {
        const ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
        if (got > 0) {
            total_ += static_cast<size_t>(got);
            if (total_ > MaxFileSize) throw EReadError("configuration file: too large");
            begin_ = 0;
            end_ = static_cast<size_t>(got);
            return true;
        }
        if (got == 0) {
            eof_ = true;
            return false;
        }
        if (errno != EINTR) throw EReadError(std::string("configuration file: ") + std::strerror(errno));
    }
}

bool TConfigLines::Next(std::string& line) {
    for (;;) {
        line.clear();
        bool overlong = false;
        bool sawAny = false;
        bool ended = false;
        while (!ended) {
            if (begin_ == end_ && !Fill()) break;
            sawAny = true;
            const char* start = buffer_.data() + begin_;
            const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
            const size_t take = newline != nullptr ? static_cast<size_t>(newline - start) : end_ - begin_;
            if (!overlong && line.size() + take <= MaxLineLength + 1)
                line.append(start, take);
            else
                overlong = true;
            begin_ += take;
            if (newline != nullptr) {
                ++begin_;
                ended = true;
            }
        }
        if (!sawAny) return false;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (overlong || line.size() > MaxLineLength) continue;
        if (line.find('\0') != std::string::npos) continue;
        return true;
    }
}

}  // namespace pelmar

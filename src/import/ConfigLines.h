#pragma once
// Line-by-line reading of a text configuration file that may be damaged or not text at all.
#include <cstddef>
#include <string>
#include <vector>

namespace pelmar {

class TConfigLines {
public:
    // Longer lines cannot be configuration lines; they are skipped whole.
    static constexpr size_t MaxLineLength = 4096;
    // No configuration file is this large; reading stops with an error there rather than going on
    // through a device or a huge file.
    static constexpr size_t MaxFileSize = size_t{64} << 20;

    TConfigLines();
    ~TConfigLines();
    TConfigLines(const TConfigLines&) = delete;
    TConfigLines& operator=(const TConfigLines&) = delete;

    // False when the file cannot be opened. Never waits for a writer (a FIFO reads as empty).
    bool Open(const std::string& path);
    // The next line without its LF or CR LF. Lines longer than MaxLineLength and lines holding a NUL
    // byte (binary data) are skipped. False at the end of the file; EReadError when reading fails or
    // the file is larger than MaxFileSize.
    bool Next(std::string& line);

private:
    bool Fill();

    int fd_ = -1;
    std::vector<char> buffer_;
    size_t begin_ = 0;
    size_t end_ = 0;
    size_t total_ = 0;
    bool eof_ = false;
};

}  // namespace pelmar

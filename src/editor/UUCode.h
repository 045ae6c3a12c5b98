#pragma once
// Files carried in messages as uuencoded text: the encoder splits a file into sections of a given
// number of lines (with sum -r/size lines), the decoder collects single and multi-part files from
// message texts.
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pelmar {

class EUUError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The encoder reads the file whole; larger files are refused.
inline constexpr uint64_t UUMaxEncodeSize = 32u * 1024 * 1024;
// "section k of n" headers announcing more sections are ignored.
inline constexpr int32_t UUMaxSections = 10000;

// CRC-16/XMODEM over the bytes, continuing from `crc`.
uint16_t UUCrc(std::string_view bytes, uint16_t crc = 0);

// Fills `sections` (cleared first) with the section texts of the file, `linesPerSection` encoded
// lines per section (0 or less: one section). Raises EUUError when the file cannot be read or is
// larger than UUMaxEncodeSize. The file's name goes into the text in CP1251.
void EncodeFileToSections(const std::string& path, int linesPerSection, std::vector<std::string>& sections);
// The same over bytes in memory, with the name and the packed DOS date-time given.
void EncodeBytesToSections(std::string_view data, const std::string& name, int32_t dosDateTime,
                           int linesPerSection, std::vector<std::string>& sections);

struct TSectionInfo {
    std::string Data;
};

struct TFileInfo {
    std::string Name;  // as announced; see SafeFileName before saving
    int32_t SectionsDone = 0;
    int32_t SectionCount = 0;
    // Received sections by 0-based index; absent ones are missing. Sparse: a header may announce
    // thousands of sections that never come.
    std::map<int32_t, TSectionInfo> Sections;
    bool Complete() const { return SectionsDone == SectionCount && SectionCount > 0; }
};

// The decoder behind the "Файлы" window: files in arrival order.
class TUUDecoder {
public:
    // Scans a message text. Returns false when a single-part file of a name already listed was
    // met: the caller shows "Такой файл уже существует в списке"; the rest of the text is skipped.
    bool AddText(std::string_view text);
    const std::vector<TFileInfo>& Files() const { return files_; }
    // Writes the sections' data one after the other to `path` and removes the file from the list.
    // On failure returns false with the reason in `error` and keeps the entry.
    bool Save(size_t index, const std::string& path, std::string& error);
    void Remove(size_t index);
    // Diagnostic log lines of the decoding so far.
    const std::vector<std::string>& Log() const { return log_; }

private:
    TFileInfo* Find(const std::string& name);
    TFileInfo& Append(TFileInfo info);
    void Erase(size_t index);
    std::string DecodeSection(const std::vector<std::string_view>& lines, size_t from);

    std::vector<TFileInfo> files_;
    std::unordered_map<std::string, size_t> index_;  // name -> position in files_
    std::vector<std::string> log_;
};

// The message the window shows when AddText returns false.
const std::string& UUDuplicateFileText();

// A name that is safe to propose for saving: the part after the last '/' or '\', without control
// characters and leading dots, at most 255 bytes; "file.bin" when nothing is left.
std::string SafeFileName(std::string_view announced);

}  // namespace pelmar

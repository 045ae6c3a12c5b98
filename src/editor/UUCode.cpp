#include "editor/UUCode.h"

#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>

#include "core/Codepage.h"
#include "editor/Quote.h"

namespace pelmar {

namespace {

constexpr std::string_view CrLf = "\r\n";
constexpr size_t MaxLogLines = 1000;

char EncodeChar(uint8_t q) {
    // Only an all-zero value becomes the grave accent; a nonzero value with zero low bits is a blank.
    return q == 0 ? '`' : static_cast<char>((q & 0x3F) + 32);
}

class TEncoder {
public:
    TEncoder(std::string_view data, const std::string& name, int32_t dosDateTime, int linesPerSection,
             std::vector<std::string>& sections)
        : data_(data),
          name_(name),
          dosDateTime_(dosDateTime),
          linesPerSection_(linesPerSection),
          sections_(sections) {}

    void Run() {
        sections_.clear();
        StartSection();
        for (size_t i = 0; i < data_.size(); ++i) {
            // Whole lines at once while the line is fresh; same result as byte by byte.
            if (fill_ == 0 && line_.size() == 1 && data_.size() - i > 45) {
                EncodeFullLine(i);
                i += 44;
                FinishLine();
                if (linesPerSection_ > 0 && lines_ >= linesPerSection_) {
                    EndSection(i + 1 == data_.size());
                    StartSection();
                }
                continue;
            }
            group_[fill_++] = static_cast<uint8_t>(data_[i]);
            if (fill_ == 3) EncodeGroup();
            if (line_.size() > 60) FinishLine();  // 15 groups after the length character
            if (linesPerSection_ > 0 && lines_ >= linesPerSection_) {
                EndSection(i + 1 == data_.size());
                StartSection();
            }
        }
        EndSection(true);
        if (sections_.size() > 1) {
            const std::string count = std::to_string(sections_.size());
            for (size_t k = 0; k < sections_.size(); ++k) {
                sections_[k].insert(0, "section " + std::to_string(k + 1) + " of " + count + " of file " +
                                           name_ + " by Pelmar 1.0\r\n\r\n");
            }
        }
    }

private:
    void Sum(std::string_view bytes) {
        sectionCrc_ = UUCrc(bytes, sectionCrc_);
        fileCrc_ = UUCrc(bytes, fileCrc_);
        sectionSize_ += static_cast<uint32_t>(bytes.size());
        fileSize_ += static_cast<uint32_t>(bytes.size());
    }

    void AddLine(std::string_view line) {
        Sum(line);
        Sum("\n");
        text_ += line;
        text_ += CrLf;
    }

    void StartSection() {
        text_.clear();
        lines_ = 0;
        lineBytes_ = 0;
        sectionCrc_ = 0;
        sectionSize_ = 0;
        if (!sections_.empty()) return;
        text_ += "filetime " + std::to_string(dosDateTime_) + "\r\n";
        text_ += "size " + std::to_string(data_.size()) + "\r\n";
        AddLine("begin 644 " + name_);
    }

    void EncodeGroup() {
        const uint8_t b0 = group_[0], b1 = group_[1], b2 = group_[2];
        line_ += EncodeChar(b0 >> 2);
        line_ += EncodeChar(static_cast<uint8_t>((b0 << 4) + (b1 >> 4)));
        line_ += EncodeChar(static_cast<uint8_t>((b1 << 2) + (b2 >> 6)));
        line_ += EncodeChar(b2 & 0x3F);
        lineBytes_ += fill_;
        fill_ = 0;  // the bytes stay: a short final group reuses them
    }

    void EncodeFullLine(size_t at) {
        char out[60];
        const auto* b = reinterpret_cast<const uint8_t*>(data_.data() + at);
        for (int g = 0; g < 15; ++g, b += 3) {
            out[g * 4] = EncodeChar(b[0] >> 2);
            out[g * 4 + 1] = EncodeChar(static_cast<uint8_t>((b[0] << 4) + (b[1] >> 4)));
            out[g * 4 + 2] = EncodeChar(static_cast<uint8_t>((b[1] << 2) + (b[2] >> 6)));
            out[g * 4 + 3] = EncodeChar(b[2] & 0x3F);
        }
        b -= 3;
        group_[0] = b[0], group_[1] = b[1], group_[2] = b[2];
        line_.append(out, sizeof out);
        lineBytes_ = 45;
    }

    void FinishLine() {
        if (fill_ > 0) EncodeGroup();
        line_[0] = lineBytes_ == 0 ? '`' : static_cast<char>(lineBytes_ + 32);
        AddLine(line_);
        line_.resize(1);
        lineBytes_ = 0;
        ++lines_;
    }

    void EndSection(bool consumed) {
        if (line_.size() > 1 || fill_ > 0) FinishLine();
        FinishLine();
        if (consumed) AddLine("end");
        const bool first = sections_.empty();
        const std::string mine = std::to_string(sectionCrc_) + "/" + std::to_string(sectionSize_);
        const std::string whole = "sum -r/size " + std::to_string(fileCrc_) + "/" +
                                  std::to_string(fileSize_) + " entire input file\r\n";
        if (first && consumed) {
            text_ += "\r\n" + whole;
        } else if (first) {
            text_ += "\r\nsum -r/size " + mine + " section (from \"begin\" to last encoded line)\r\n";
        } else if (!consumed) {
            text_ += "\r\nsum -r/size " + mine + " section (from first to last encoded line)\r\n";
        } else {
            text_ += "\r\nsum -r/size " + mine + " section (from first encoded line to \"end\")\r\n" + whole;
        }
        sections_.push_back(std::move(text_));
        text_.clear();
    }

    std::string_view data_;
    const std::string& name_;
    int32_t dosDateTime_;
    int linesPerSection_;
    std::vector<std::string>& sections_;

    std::string text_;
    std::string line_ = std::string(1, '`');  // the length character, then the encoded groups
    uint8_t group_[3] = {0, 0, 0};
    int fill_ = 0;
    int lineBytes_ = 0;
    int lines_ = 0;
    uint16_t sectionCrc_ = 0;
    uint32_t sectionSize_ = 0;
    uint16_t fileCrc_ = 0;
    uint32_t fileSize_ = 0;
};

int32_t DosStamp(time_t when) {
    struct tm t {};
    if (localtime_r(&when, &t) == nullptr || t.tm_year < 80) return 0;
    const uint32_t date = ((t.tm_year - 80) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday;
    const uint32_t time = (t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2);
    return static_cast<int32_t>((date << 16) | time);
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Length of the UTF-8 sequence at `at`; 0 when it is malformed.
size_t Utf8SequenceLength(std::string_view text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead < 0x80                   ? 1
                          : lead >= 0xC2 && lead < 0xE0 ? 2
                          : lead >= 0xE0 && lead < 0xF0 ? 3
                          : lead >= 0xF0 && lead < 0xF5 ? 4
                                                        : 0;
    if (length == 0 || at + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) return 0;
    }
    return length;
}

// A file name of this system (UTF-8) as the CP1251 letter carries it, so the receiver decodes it
// to the same name. Characters CP1251 lacks become '_' rather than the converter's '?', which
// would be a wildcard in the saved name; a name that is not UTF-8 is an old 8-bit one, kept as is.
std::string LetterFileName(const std::string& name) {
    std::string out;
    for (size_t at = 0; at < name.size();) {
        const size_t length = Utf8SequenceLength(name, at);
        if (length == 0) return name;
        const std::string_view character(name.data() + at, length);
        const std::string converted = Utf8ToAnsi(character);
        out += converted == "?" && character != "?" ? std::string("_") : converted;
        at += length;
    }
    return out;
}

// Number at the start of `text` up to the next blank (or the end); 0 when it is not a number.
int64_t LeadingNumber(std::string_view& text) {
    const size_t blank = text.find(' ');
    const std::string_view digits = text.substr(0, blank);
    text = blank == std::string_view::npos ? std::string_view{} : text.substr(blank + 1);
    if (digits.empty() || digits.size() > 10) return 0;
    int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool StartsWith(std::string_view line, std::string_view prefix) {
    return line.substr(0, prefix.size()) == prefix;
}

}  // namespace

uint16_t UUCrc(std::string_view bytes, uint16_t crc) {
    static const auto table = [] {
        std::array<uint16_t, 256> t{};
        for (int i = 0; i < 256; ++i) {
            uint16_t c = static_cast<uint16_t>(i << 8);
            for (int b = 0; b < 8; ++b)
                c = (c & 0x8000) ? static_cast<uint16_t>((c << 1) ^ 0x1021) : static_cast<uint16_t>(c << 1);
            t[i] = c;
        }
        return t;
    }();
    for (unsigned char b : bytes) crc = static_cast<uint16_t>((crc << 8) ^ table[((crc >> 8) ^ b) & 0xFF]);
    return crc;
}

void EncodeBytesToSections(std::string_view data, const std::string& name, int32_t dosDateTime,
                           int linesPerSection, std::vector<std::string>& sections) {
    TEncoder(data, name, dosDateTime, linesPerSection, sections).Run();
}

void EncodeFileToSections(const std::string& path, int linesPerSection, std::vector<std::string>& sections) {
    sections.clear();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw EUUError(path + ": " + std::strerror(errno));
    if (!S_ISREG(st.st_mode)) throw EUUError(path + ": not a regular file");
    if (static_cast<uint64_t>(st.st_size) > UUMaxEncodeSize) {
        throw EUUError(path + ": larger than " + std::to_string(UUMaxEncodeSize / (1024 * 1024)) + " MB");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) throw EUUError(path + ": " + std::strerror(errno));
    std::string data;
    data.resize(static_cast<size_t>(st.st_size));
    in.read(data.data(), static_cast<std::streamsize>(data.size()));
    if (in.gcount() != static_cast<std::streamsize>(data.size()) || in.bad()) {
        throw EUUError(path + ": read error");
    }
    // The file may have grown since the stat; what was read is what gets sent.
    EncodeBytesToSections(data, LetterFileName(BaseName(path)), DosStamp(st.st_mtime), linesPerSection,
                          sections);
}

TFileInfo* TUUDecoder::Find(const std::string& name) {
    const auto it = index_.find(name);
    return it == index_.end() ? nullptr : &files_[it->second];
}

TFileInfo& TUUDecoder::Append(TFileInfo info) {
    index_[info.Name] = files_.size();
    files_.push_back(std::move(info));
    return files_.back();
}

void TUUDecoder::Erase(size_t index) {
    files_.erase(files_.begin() + static_cast<std::ptrdiff_t>(index));
    index_.clear();
    for (size_t i = 0; i < files_.size(); ++i) index_[files_[i].Name] = i;
}

std::string TUUDecoder::DecodeSection(const std::vector<std::string_view>& lines, size_t from) {
    auto log = [this](std::string line) {
        if (log_.size() < MaxLogLines) log_.push_back(std::move(line));
    };
    std::string data;
    if (from < lines.size()) log("Began decoding, " + std::string(lines[from].substr(0, 80)));
    int c[4] = {0, 0, 0, 0};
    for (size_t i = from; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (line.empty()) {
            log("blank line - skipping");
            continue;
        }
        if (StartsWith(line, "end")) {
            log("end encountered");
            break;
        }
        if (StartsWith(line, "sum")) {
            log("sum encountered");
            break;
        }
        bool bad = false;
        for (unsigned char ch : line) bad |= ch < 32 || ch > 96;
        if (bad) {
            log("bad char in line, aborting");
            break;
        }
        const int count = line[0] == '`' ? 0 : line[0] - 32;
        int produced = 0;
        for (size_t p = 1; p < line.size(); p += 4) {
            for (size_t j = 0; j < 4 && p + j < line.size(); ++j) {
                const char ch = line[p + j];
                c[j] = ch == '`' ? 0 : ch - 32;
            }
            const uint8_t bytes[3] = {static_cast<uint8_t>(c[0] * 4 + (c[1] >> 4)),
                                      static_cast<uint8_t>(c[1] * 16 + (c[2] >> 2)),
                                      static_cast<uint8_t>(c[2] * 64 + c[3])};
            for (uint8_t b : bytes) {
                if (produced < count) data += static_cast<char>(b);
                ++produced;
            }
        }
        if (produced < count) {
            log("out of string, [" + std::to_string(produced) + "] + [" + std::string(line.substr(0, 80)) +
                "]");
        }
    }
    return data;
}

const std::string& UUDuplicateFileText() {
    static const std::string text = Utf8ToAnsi("Такой файл уже существует в списке");
    return text;
}

bool TUUDecoder::AddText(std::string_view text) {
    const std::vector<std::string_view> lines = SplitTextLines(text);
    // The next "begin " line at or after each line, found once: a text of many first-section
    // headers would otherwise be searched to its end for each of them.
    std::vector<size_t> nextBegin(lines.size() + 1, lines.size());
    for (size_t i = lines.size(); i-- > 0;)
        nextBegin[i] = StartsWith(lines[i], "begin ") ? i : nextBegin[i + 1];
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (StartsWith(line, "begin ")) {
            const std::string_view rest = line.substr(6);
            const size_t blank = rest.find(' ');
            if (blank == std::string_view::npos) continue;
            const std::string name(rest.substr(blank + 1));
            if (Find(name) != nullptr) return false;
            TFileInfo info;
            info.Name = name;
            info.SectionCount = 1;
            info.SectionsDone = 1;
            info.Sections[0].Data = DecodeSection(lines, i + 1);
            Append(std::move(info));
            continue;
        }
        if (!StartsWith(line, "section ")) continue;
        std::string_view rest = line.substr(8);
        const int64_t k = LeadingNumber(rest);
        if (k == 0 || !StartsWith(rest, "of ")) continue;
        rest.remove_prefix(3);
        const int64_t n = LeadingNumber(rest);
        if (n == 0 || n < k || n > UUMaxSections) continue;
        const size_t of = line.find("of file ");
        if (of == std::string_view::npos) continue;
        std::string_view nameField = line.substr(of + 8);
        const std::string name(nameField.substr(0, nameField.find(' ')));
        size_t from = i + 1;
        size_t resume = i;
        if (k == 1) {
            const size_t b = nextBegin[i + 1];
            if (b == lines.size()) continue;
            from = b + 1;
            // The begin line belongs to this section; scanning it again would announce a second file.
            resume = b;
        }
        i = resume;
        TFileInfo* file = Find(name);
        if (file != nullptr && file->SectionCount != n) continue;
        if (file == nullptr) {
            TFileInfo info;
            info.Name = name;
            info.SectionCount = static_cast<int32_t>(n);
            file = &Append(std::move(info));
        }
        const int32_t index = static_cast<int32_t>(k - 1);
        if (file->Sections.count(index) != 0) continue;
        file->Sections[index].Data = DecodeSection(lines, from);
        ++file->SectionsDone;
    }
    return true;
}

bool TUUDecoder::Save(size_t index, const std::string& path, std::string& error) {
    if (index >= files_.size() || !files_[index].Complete()) {
        error = "incomplete file";
        return false;
    }
    const TFileInfo& file = files_[index];
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    bool ok = true;
    for (const auto& [k, section] : file.Sections) {
        if (std::fwrite(section.Data.data(), 1, section.Data.size(), out) != section.Data.size()) ok = false;
    }
    if (std::fflush(out) != 0) ok = false;
    const int savedErrno = errno;
    if (std::fclose(out) != 0) ok = false;
    if (!ok) {
        error = path + ": " + std::strerror(savedErrno != 0 ? savedErrno : EIO);
        return false;
    }
    Erase(index);
    return true;
}

void TUUDecoder::Remove(size_t index) {
    if (index < files_.size()) Erase(index);
}

std::string SafeFileName(std::string_view announced) {
    const size_t slash = announced.find_last_of("/\\");
    std::string_view base = slash == std::string_view::npos ? announced : announced.substr(slash + 1);
    std::string name;
    for (unsigned char c : base) {
        if (c < 32 || c == 127) continue;
        if (name.empty() && (c == '.' || c == ' ')) continue;
        name += static_cast<char>(c);
    }
    // A file name longer than the file system takes would only make the save fail.
    if (name.size() > 255) name.erase(0, name.size() - 255);
    while (!name.empty() && (name.back() == ' ' || name.front() == '.')) {
        if (name.back() == ' ')
            name.pop_back();
        else
            name.erase(0, 1);
    }
    return name.empty() ? "file.bin" : name;
}

}  // namespace pelmar

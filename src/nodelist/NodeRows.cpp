#include "nodelist/NodeRows.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <map>

#include "core/Address.h"

namespace pelmar {

namespace {

std::string Blanks(std::string_view field) {
    std::string text(field);
    std::replace(text.begin(), text.end(), '_', ' ');
    return text;
}

// A letter of the T flag: "A".."X" are whole hours UTC, "a".."x" half past.
bool HourLetter(char c, int hourOffset, std::string& text) {
    int hour;
    const char* minutes;
    if (c >= 'A' && c <= 'X') {
        hour = c - 'A';
        minutes = ":00";
    } else if (c >= 'a' && c <= 'x') {
        hour = c - 'a';
        minutes = ":30";
    } else {
        return false;
    }
    hour = ((hour + hourOffset) % 24 + 24) % 24;
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%2d%s", hour, minutes);
    text = buffer;
    return true;
}

// The index names the files; only a regular file is read (a pipe or device there would hang or never end).
int OpenSource(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::string TNodeRows::WorkingHours(std::string_view line, int hourOffset) {
    // Only the flags count (a station or town may start with "T" too); they follow the seventh field.
    size_t flags = 0;
    for (int comma = 0; comma < 7; ++comma) {
        flags = line.find(',', flags);
        if (flags == std::string_view::npos) return {};
        ++flags;
    }
    const std::string_view list = line.substr(flags - 1);  // from the comma before the first flag
    // CM is often the last flag of the line, with no comma after it.
    for (size_t at = list.find(",CM"); at != std::string_view::npos; at = list.find(",CM", at + 1)) {
        if (at + 3 == list.size() || list[at + 3] == ',') return "CM";
    }
    for (size_t t = list.find(",T"); t != std::string_view::npos; t = list.find(",T", t + 1)) {
        if (t + 4 > list.size() || (t + 4 < list.size() && list[t + 4] != ',')) continue;
        std::string from, to;
        if (HourLetter(list[t + 2], hourOffset, from) && HourLetter(list[t + 3], hourOffset, to))
            return from + "-" + to;
    }
    return {};
}

void TNodeRows::FromLine(std::string_view line, int hourOffset, TNodeRow& row) {
    std::string_view fields[6];
    NodeLineFields(line, fields, std::size(fields));
    row.Station = Blanks(fields[2]);
    row.Location = Blanks(fields[3]);
    row.Phone = Blanks(fields[5]);
    row.Hours = WorkingHours(line, hourOffset);
}

int TNodeRows::LocalHourOffset() {
    tzset();
    // `timezone` is the standard (not summer) offset west of UTC in seconds.
    return static_cast<int>(-(timezone / 60) / 60);
}

void TNodeRows::Fill(int first, int last) {
    rows_.clear();
    first_ = first;
    last = std::min(last, list_.RecordCount() - 1);
    if (first < 0 || last < first || !list_.Seek(first)) return;
    const auto& sources = list_.SourceFiles();
    std::map<int, int> open;  // file index -> descriptor (-1 when it cannot be opened)
    TNodeRecord record;
    for (int i = first; i <= last && list_.ReadRecord(record); ++i) {
        TNodeRow row;
        const auto& e = record.Entry;
        row.Address = FormatAddress(e.Zone, e.Net, e.Node, e.Point);
        row.Name = record.Name;
        const bool known = e.FileIndex >= 0 && e.FileIndex < static_cast<int>(sources.size());
        if (known) row.File = sources[e.FileIndex].Path;
        int fd = -1;
        if (known) {
            auto it = open.find(e.FileIndex);
            if (it == open.end()) it = open.emplace(e.FileIndex, OpenSource(row.File)).first;
            fd = it->second;
        }
        char buffer[kLineBytes];
        ssize_t n = -1;
        if (fd >= 0 && e.LineOffset >= 0) {
            do {
                n = ::pread(fd, buffer, sizeof buffer, e.LineOffset);
            } while (n < 0 && errno == EINTR);
        }
        if (n < 0) {
            const std::string blank(1, ' ');
            for (std::string* column : {&row.Station, &row.Location, &row.Phone, &row.Hours}) *column = blank;
        } else {
            std::string_view line(buffer, static_cast<size_t>(n));
            line = line.substr(0, line.find_first_of("\r\n\x1a"));
            FromLine(line, hourOffset_, row);
        }
        rows_.push_back(std::move(row));
    }
    for (const auto& [index, fd] : open)
        if (fd >= 0) ::close(fd);
}

const TNodeRow* TNodeRows::Cached(int index) const {
    if (index < first_ || index >= first_ + static_cast<int>(rows_.size())) return nullptr;
    return &rows_[static_cast<size_t>(index - first_)];
}

std::string TNodeRows::Text(int index, int column) const {
    const TNodeRow* row = Cached(index);
    if (row == nullptr) return column == 0 ? "-=unknown=-" : std::string();
    switch (column) {
        case 0:
            return row->Address;
        case 1:
            return row->Name;
        case 2:
            return row->Station;
        case 3:
            return row->Location;
        case 4:
            return row->Phone;
        case 5:
            return row->Hours;
        case 6:
            return row->File;
        default:
            return {};
    }
}

}  // namespace pelmar

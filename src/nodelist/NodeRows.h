#pragma once
// The rows of the node browser: the record's address, name and file, and the station, location,
// phone and working hours taken from the record's line in its source nodelist. Only the rows on
// screen are read; they are kept until the next fill.
#include <string>
#include <string_view>
#include <vector>

#include "nodelist/NodeList.h"

namespace pelmar {

struct TNodeRow {
    std::string Address;
    std::string Name;
    std::string Station;
    std::string Location;
    std::string Phone;
    std::string Hours;
    std::string File;
};

class TNodeRows {
public:
    static constexpr int kColumns = 7;
    static constexpr int kLineBytes = 256;

    TNodeRows(TNodeList& list, int localHourOffset) : list_(list), hourOffset_(localHourOffset) {}

    // Reads rows first..last into the cache (the previous rows are dropped). Rows past the last
    // record are left out.
    void Fill(int first, int last);
    // The cached row, or nullptr.
    const TNodeRow* Cached(int index) const;
    // The text of one column; a row that is not cached shows "-=unknown=-" as its address.
    std::string Text(int index, int column) const;
    int CacheStart() const { return first_; }
    int CacheSize() const { return static_cast<int>(rows_.size()); }
    void Clear() { rows_.clear(); }

    // "CM", the T flag's hours shifted by `hourOffset` (" 3:00- 4:30"), or empty.
    static std::string WorkingHours(std::string_view line, int hourOffset);
    // The source line's fields 3, 4 and 6 into the row ("_" shown as blanks), and the hours.
    static void FromLine(std::string_view line, int hourOffset, TNodeRow& row);
    // The local time zone's standard offset from UTC in whole hours.
    static int LocalHourOffset();

private:
    TNodeList& list_;
    int hourOffset_;
    int first_ = 0;
    std::vector<TNodeRow> rows_;
};

}  // namespace pelmar

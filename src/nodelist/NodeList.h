#pragma once
// The compiled nodelist: FTS-5000 nodelists and pointlists turned into "nodelist.plm", sorted by
// sysop name with a two-letter index, and the look-ups the editor and the node browser make.
//
// The index file is never trusted: every count, length and offset is checked against the file size
// and a damaged file counts as absent (the next check recompiles it). A compile writes a temporary
// file and renames it over the old one, so a failure keeps the previous index in use.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pelmar {

// A compile that could not read a source file or write the index. what() is CP1251 text.
class ENodeListError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TNodeEntry {
    uint16_t Zone = 0;
    uint16_t Net = 0;
    uint16_t Node = 0;
    uint16_t Point = 0;
    int32_t LineOffset = 0;  // where the entry's line starts in its source file
    int32_t FileIndex = 0;   // into SourceFiles()
};

struct TNodeRecord {
    std::string Name;  // at most 35 bytes
    TNodeEntry Entry;
};

// A source file as the index remembers it. (The UU decoder has a class of the same name: this one
// lives in its own namespace so the two never meet.)
namespace nodelist {
struct TFileInfo {
    double FileDate = 0;  // days since 30 December 1899, local time
    int32_t FileSize = 0;
};
}  // namespace nodelist

struct TSourceFile {
    std::string Path;
    nodelist::TFileInfo Info;
};

// The one order of names for sorting and for every look-up: bytes upper-cased with the CP1251 rules,
// then compared as unsigned bytes. <0, 0, >0.
int CompareNodeNames(std::string_view a, std::string_view b);

// Splits a nodelist line ("keyword,number,name,location,sysop,phone,...") into its first `count`
// comma-separated fields; the fields past the line's last comma stay empty. Returns how many the
// line has, up to `count`.
size_t NodeLineFields(std::string_view line, std::string_view* fields, size_t count);

class TNodeList {
public:
    static constexpr int kRecordSize = 52;
    static constexpr int kMaxName = 35;
    static constexpr int kSlots = 26 * 26;
    using TProgress = std::function<void(int percent)>;

    // The index lives in dataFolder + "nodelist.plm" (dataFolder ends with '/').
    explicit TNodeList(std::string dataFolder);
    ~TNodeList();
    TNodeList(const TNodeList&) = delete;
    TNodeList& operator=(const TNodeList&) = delete;

    std::string IndexPath() const { return dataFolder_ + "nodelist.plm"; }

    // Reads the index's header; false when it is missing or damaged (then nothing is found).
    bool Open();
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    // Why the last Open counted the file as damaged (CP1251), empty otherwise.
    const std::string& OpenProblem() const { return openProblem_; }

    bool IsOutdated(const std::vector<std::string>& paths) const;
    // Throws ENodeListError; the previous index then stays open and unchanged.
    void Compile(const std::vector<std::string>& paths, const TProgress& progress = {});
    // "Откомпилирован список узлов, ..." of the last compile.
    const std::string& Summary() const { return summary_; }

    void FindAddressesByName(const std::string& name, std::vector<std::string>& out);
    // The indexes of the records FindAddressesByName reports, in the same order.
    std::vector<int> FindRecordsByName(const std::string& name);
    int FirstIndexForPrefix(const std::string& text);
    int FindNext(const std::string& namePart, const std::string& addressMask, int start);

    // Positions the reader at record `index`; false when it is out of range.
    bool Seek(int index);
    // The record at the reader's position, then the position moves on; false at the end.
    bool ReadRecord(TNodeRecord& record);

    int RecordCount() const { return recordCount_; }
    const std::vector<TSourceFile>& SourceFiles() const { return sourceFiles_; }
    int32_t NameIndex(int slot) const { return nameIndex_[slot]; }

private:
    bool ReadBlock(int index, int count);
    bool RecordAt(int index, TNodeRecord& record, int readAhead = 1000);
    bool NameAt(int index, std::string& name);
    int LowerBound(int from, std::string_view query);
    int Slot(char a, char b) const;
    int FindAtAddress(const std::string& namePart, uint64_t address, int start);
    bool BuildAddressOrder();

    std::string dataFolder_;
    int fd_ = -1;
    std::vector<TSourceFile> sourceFiles_;
    std::vector<int32_t> nameIndex_;
    int64_t indexStart_ = 0;
    int recordCount_ = 0;
    int position_ = 0;
    std::string openProblem_;
    std::string summary_;
    // Records read ahead: [blockStart_, blockStart_ + blockCount_).
    std::vector<unsigned char> block_;
    int blockStart_ = 0;
    int blockCount_ = 0;
    // Every record's address (zone, net, node, point packed high to low) with its index, sorted; made
    // on the first look-up of a whole address so that it needs no scan. Empty until then.
    struct TAddressRecord {
        uint64_t Address;
        int32_t Index;
        bool operator<(const TAddressRecord& other) const {
            return Address != other.Address ? Address < other.Address : Index < other.Index;
        }
    };
    std::vector<TAddressRecord> addressOrder_;
    bool addressOrderTried_ = false;
};

// The program's nodelist while it runs (made at start-up), else null.
extern TNodeList* NodeList;
// The addresses of a person in the program's nodelist (the editor's look-up); empty without one.
std::vector<std::string> NodeListAddresses(const std::string& name);

}  // namespace pelmar

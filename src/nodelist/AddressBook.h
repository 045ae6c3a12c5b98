#pragma once
// The user's correspondents: a name, any number of FTN addresses and a note per entry, kept in
// "addrbook.db" in the profile's data folder in insertion order.
//
// The file is never trusted: every length and count is checked against what is left of the file.
// A damaged file is renamed aside ("addrbook.db.damaged-<time>"), the entries read before the damage
// are kept, and the problem is reported; a file that exists but cannot be read is never overwritten.
// Saves go through a temporary file and a rename.
#include <string>
#include <string_view>
#include <vector>

namespace pelmar {

struct TAddrHolder {
    std::vector<std::string> Addresses;  // not validated
    std::string Notes;
};

class TAddressBook {
public:
    explicit TAddressBook(std::string dataFolder) : dataFolder_(std::move(dataFolder)) {}

    std::string FilePath() const { return dataFolder_ + "addrbook.db"; }

    // Appends the file's entries; false when the file was damaged or unreadable (see LastError()).
    bool Load();
    // Writes every entry; false when the file could not be written (the old one is untouched).
    bool Save();
    // The text of the last load or save problem (CP1251), empty when there was none.
    const std::string& LastError() const { return lastError_; }

    // Appends what `bytes` holds; false when they are damaged (the entries before the damage stay).
    bool Parse(std::string_view bytes);
    std::string Serialise() const;

    int Add();
    void Delete(int index);
    int Count() const { return static_cast<int>(names_.size()); }
    // The entry whose name equals `name` (CP1251, case-insensitive), or -1.
    int IndexOf(const std::string& name) const;

    const std::string& Name(int index) const { return names_.at(index); }
    void SetName(int index, std::string name) { names_.at(index) = std::move(name); }
    const std::vector<std::string>& Names() const { return names_; }
    std::vector<std::string>& Addresses(int index) { return holders_.at(index).Addresses; }
    const std::vector<std::string>& Addresses(int index) const { return holders_.at(index).Addresses; }
    const std::string& Notes(int index) const { return holders_.at(index).Notes; }
    void SetNotes(int index, std::string notes) { holders_.at(index).Notes = std::move(notes); }

private:
    std::string dataFolder_;
    std::vector<std::string> names_;
    std::vector<TAddrHolder> holders_;
    std::string lastError_;
    bool saveBlocked_ = false;  // the file exists but could not be read
};

// The program's address book while it runs (made at start-up), else null.
extern TAddressBook* AddressBook;

}  // namespace pelmar

#pragma once
// The store of unsent letters: one *.MSG message per open editor, kept in a folder of its own below
// the data folder. A save is written into a fresh folder and swapped in whole, so a crash or a full
// disk during a save leaves the previous set intact, and no file outside the store is ever deleted.
#include <cstdint>
#include <string>
#include <vector>

namespace pelmar {

// One editor as stored.
struct TDraft {
    std::string FromName;
    std::string OrigAddr;  // selected own address, "" when none
    std::string DestAddr;  // only when the address field is shown
    std::string ToName;
    std::string Subject;
    uint16_t Attributes = 0;
    std::vector<std::string> AreaIds;  // destinations in order
    std::string Body;
    // Message number in the store (the file name's number), -1 when not stored. Numbers, unlike list
    // positions, do not shift when another draft is deleted.
    int32_t Number = -1;
};

// The "SAVED:" control line for the destinations, and its words back.
std::string SavedLine(const std::vector<std::string>& areaIds);
std::vector<std::string> ParseSavedLine(const std::string& kludge, bool* isSaved = nullptr);

// An auto-save interval in minutes as the timer may use it.
int32_t ClampSaveMinutes(int64_t minutes);

class TDraftStore {
public:
    // `dataFolder`: the "DataFolder" setting. `areaFolders`: the folders of the *.MSG areas; a store
    // that would sit in one of them is refused. `baseFolders`: the folders holding the files of the
    // other bases; one at or under the draft folders is refused.
    TDraftStore(std::string dataFolder, std::vector<std::string> areaFolders,
                std::vector<std::string> baseFolders = {});

    // The store's folder (with a trailing '/').
    std::string Folder() const;
    // False with the reason when the store must not be used (its folders hold an area's files).
    bool Usable(std::string* reason = nullptr) const;

    // Replaces the store with `drafts`, setting each Number to its message number. An empty set is written
    // only when `allowEmpty`: shutdown paths that may run after the editors closed pass false.
    bool Save(std::vector<TDraft*> drafts, bool allowEmpty, std::string* error = nullptr);
    // The stored drafts in number order; damaged messages are skipped. A store left missing by a crash
    // during a save is put back first.
    std::vector<TDraft> Load() const;
    // Deletes the draft with that number; nothing for -1 or a number not stored.
    bool Delete(int32_t number);

    // Tests: while `reason` is not empty, every Save fails with it and leaves the store as it was.
    static void SetSaveFaultForTesting(std::string reason);

private:
    std::string dataFolder_;
    std::vector<std::string> areaFolders_;
    std::vector<std::string> baseFolders_;
};

// The letters as a text file a person can read (UTF-8, LF line ends), for the moment the store cannot
// take them and the program ends anyway. A new file "rescued-letters-<date>-<time>[-n].txt" in
// `folder`, never one that exists; its path, or "" with the reason in `error` (CP1251).
std::string WriteRescueFile(const std::string& folder, const std::vector<TDraft>& drafts,
                            std::string* error = nullptr);
// The file's text.
std::string RescueFileText(const std::vector<TDraft>& drafts);

}  // namespace pelmar

#pragma once
// The main window's search over marked areas and its find-next.
//
// Each area is read through a private base of its own: the listed area's shared base stays on the
// shown message. A find-next resumes at the first live position at or after the one past the last
// match, whatever the base's count says (a JAM count leaves out deleted messages, positions do not).
#include <cstdint>
#include <string>
#include <unordered_set>

namespace pelmar {

class TAreaInfo;
class TMessageBase;

// What the search tells the window while it runs.
class TSearchObserver {
public:
    virtual ~TSearchObserver() = default;
    // Starting on an area.
    virtual void SearchingArea(const TAreaInfo& area) = 0;
    // Reached `position` of about `count` messages of that area.
    virtual void SearchProgress(int position, int count) = 0;
    // Polled between messages; true stops the search where it is.
    virtual bool SearchAborted() = 0;
};

enum class TSearchHit { None, Header, Text, Aborted };

struct TSearchResult {
    TSearchHit Hit = TSearchHit::None;
    TAreaInfo* Area = nullptr;
    int Position = -1;
    std::string MsgId;  // of the matched message; empty when it has none
};

class TSearch {
public:
    std::string SearchText;
    bool SearchCaseSensitive = false;
    bool SearchInText = false;
    TAreaInfo* SearchArea = nullptr;  // null: no find-next position
    int SearchFrom = 0;               // base position where the next search starts
    // The areas marked for searching, by ID (the search window marks them).
    std::unordered_set<std::string> Marked;

    // After the dialog's OK: the root's mark is cleared and the first marked area below it in the
    // tree's order becomes the area to search, from its start. False when no area is marked.
    bool Start(TAreaInfo& root);
    // False also when the area to search has been deleted since (it is then forgotten).
    bool CanContinue();
    void Reset() {
        SearchArea = nullptr;
        SearchFrom = 0;
    }
    // Searches from the position reached: the rest of SearchArea, then each following marked area
    // (its mark is cleared once it has been searched). On a match SearchFrom moves past it; at the
    // end SearchArea is null. An abort leaves the position at the message it stopped on.
    TSearchResult Next(TSearchObserver* observer = nullptr);

    // Whether the base's current message holds the pattern (`upperPattern` already upper-cased when
    // the search ignores case). Reads the header, or the whole message for a text search.
    TSearchHit Match(TMessageBase& base, const std::string& upperPattern) const;
    // The pattern as compared.
    std::string Pattern() const;

    // Puts the base on the first live message at or after `position`; false when there is none.
    static bool PositionAtOrAfter(TMessageBase& base, int32_t position);
    // The next marked area after `area` (or the first one when `area` is the root) in the order the
    // reading tree shows them (AreaTreeRows); null when none follows or `area` has no row.
    TAreaInfo* NextMarked(const TAreaInfo& area) const;

private:
    void SetArea(TAreaInfo* area);
    // The area's identity: the pointer alone could name a deleted area.
    std::string searchAreaId_;
    // Searches one area from SearchFrom; moves SearchFrom past a match.
    TSearchResult SearchArea_(TAreaInfo& area, const std::string& pattern, TSearchObserver* observer);
};

}  // namespace pelmar

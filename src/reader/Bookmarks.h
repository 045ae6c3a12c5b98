#pragma once
// The bookmarks: two parallel lists, a caption and a target (area id "|" MSGID) per bookmark, kept
// in the settings "BookMarkNames" and "BookMarkData".
//
// Both are stored as lines, so a caption may hold no line break (it would shift one list against
// the other), and a message without MSGID cannot be found again: it is never bookmarked.
#include <string>
#include <vector>

namespace pelmar {

class TAreaInfo;

struct TBookmarkTarget {
    std::string AreaId;
    std::string MsgId;
};

// Where going to a bookmark ended. Only a bookmark whose target is really gone is dropped: an area
// whose base is locked or missing for the moment keeps its bookmarks.
enum class TBookmarkGoto { Found, Gone, Unavailable };

class TBookmarks {
public:
    // Works on the given lists (the settings' by default at the window).
    TBookmarks(std::vector<std::string>& names, std::vector<std::string>& data);

    int Count() const { return static_cast<int>(names_.size()); }
    const std::string& Name(int index) const { return names_.at(static_cast<size_t>(index)); }
    const std::string& Data(int index) const { return data_.at(static_cast<size_t>(index)); }

    // Appends a bookmark; false (nothing added) when the message has no MSGID.
    bool Add(const TAreaInfo& area, const std::string& subject, const std::string& msgId);
    void Remove(int index);
    void Clear();
    // Cuts a list that came from damaged settings to the length of the other.
    void Repair();
    // Writes both lists to the profile's settings now, so a bookmark outlives a crash; false when the
    // store could not be saved (reported by the store).
    bool Store() const;

    // The area's title (AreaTitle) + ": " + subject, line breaks turned into spaces.
    static std::string Caption(const TAreaInfo& area, const std::string& subject);
    static TBookmarkTarget Parse(const std::string& data);
    // The area a bookmark leads to, when it still exists and is an area with a base; else null.
    static TAreaInfo* FindArea(const TBookmarkTarget& target);

private:
    std::vector<std::string>& names_;
    std::vector<std::string>& data_;
};

}  // namespace pelmar
